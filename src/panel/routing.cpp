// The /dev/dsp routing lists: their modes, reading them from the driver,
// the reorder dialog's moves and the save.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/atomic_file.h"
#include "common/common.h"
#include "common/file_lock.h"
#include "common/text.h"
#include "panel/panel.h"
#include "settings/dspdevs_map.h"

namespace kvl {

const RouteMode ROUTE_MODES[ROUTE_COUNT] = {
    {1, "input", 6, "/dev/dsp input device assignment"},
    {2, "output", 7, "/dev/dsp output device assignment"},
    {3, "duplex", 8, "/dev/dsp duplex device assignment"},
};

namespace {

std::string error_text(int err) { return std::strerror(err); }

// The box and the lines for after the screen of a file that cannot be
// written.
void cannot_write(SaveOutcome *out, const std::string &path, int err) {
  out->boxes.push_back("Cannot write " + path + ": " + error_text(err));
  // The box cuts a long path; the whole line follows the screen's end.
  out->after_screen.push_back(path + ": " + error_text(err));
  out->after_screen.push_back("Saving config failed");
}

}  // namespace

void clamp_routing_count(RoutingRecord &rec) {
  if (rec.count < 0) rec.count = 0;
  if (rec.count > ROUTING_MAX_DEVICES) rec.count = ROUTING_MAX_DEVICES;
}

int load_routing(PanelState &st, std::string *error) {
  for (int k = 0; k < ROUTE_COUNT; k++) {
    RoutingRecord rec = {};
    rec.mode = ROUTE_MODES[k].mode;
    if (control_send(st.control, CTL_GET_REROUTE, &rec) < 0) {
      *error = "Get reroute: " + error_text(errno);
      return -1;
    }
    rec.mode = ROUTE_MODES[k].mode;
    clamp_routing_count(rec);
    st.routes[k] = rec;
    st.routes_at_start[k] = rec;
  }
  return 0;
}

std::string device_line(int dev, const AudioInfo *info) {
  std::string line = "/dev/dsp" + std::to_string(dev) + ": ";
  if (!info) return line + "unknown";
  line += std::string(field_text(info->name));
  if (info->max_channels > 2) line += " (MULTICH)";
  if (info->oformats & AFMT_AC3) line += " (AC3)";
  return line;
}

ReorderList reorder_list_from(const RoutingRecord &rec) {
  ReorderList list;
  list.count = rec.count < 0 ? 0 : rec.count > ROUTING_MAX_DEVICES ? ROUTING_MAX_DEVICES : rec.count;
  std::memcpy(list.devices, rec.devices, sizeof list.devices);
  return list;
}

void reorder_move_up(ReorderList &list, int i) {
  if (i < 1 || i >= list.count) return;
  std::swap(list.devices[i - 1], list.devices[i]);
  list.position = i - 1;
}

void reorder_move_down(ReorderList &list, int i) {
  if (i < 0 || i >= list.count - 1) return;
  std::swap(list.devices[i], list.devices[i + 1]);
  list.position = i + 1;
}

namespace {

// The lock's descriptor closed however the save ends.
struct SaveLock {
  int fd = -1;
  ~SaveLock() {
    if (fd >= 0) close(fd);
  }
};

// The save itself, under the lock.
int save_locked(PanelState &st, SaveOutcome *out) {
  std::string path = kvl_path(st.install_dir, DSPDEVS_MAP);
  // Nothing goes to the driver unless the file can follow: driver and file
  // must not disagree at the next start.
  if (check_replaceable(path.c_str()) != 0) {
    cannot_write(out, path, errno);
    return -1;
  }
  DspdevsMap map;
  map.count = ROUTE_COUNT;
  for (int k = 0; k < ROUTE_COUNT; k++) {
    RoutingRecord rec = st.routes[k];
    rec.mode = ROUTE_MODES[k].mode;
    clamp_routing_count(rec);
    if (control_send(st.control, CTL_SET_REROUTE, &rec) == 0) {
      map.routes[k] = rec;
      continue;
    }
    int err = errno;
    out->boxes.push_back(std::string("The driver refused the /dev/dsp ") + ROUTE_MODES[k].name +
                         " routing: " + error_text(err));
    out->after_screen.push_back("Set reroute: " + error_text(err));
    // The line keeps the list the driver still uses, so later lines keep
    // their modes and the file agrees with the driver.
    RoutingRecord still = {};
    still.mode = ROUTE_MODES[k].mode;
    if (control_send(st.control, CTL_GET_REROUTE, &still) != 0) still = st.routes_at_start[k];
    still.mode = ROUTE_MODES[k].mode;
    clamp_routing_count(still);
    map.routes[k] = still;
  }
  std::string text;
  if (format_dspdevs_map(map, &text) != 0 || replace_file(path.c_str(), text) != 0) {
    cannot_write(out, path, errno);
    return 0;
  }
  out->written = text;
  return 0;
}

}  // namespace

int save_routing(PanelState &st, SaveOutcome *out) {
  SaveLock lock;
  long holder = 0;
  lock.fd = take_file_lock_waiting(kvl_path(st.install_dir, PANEL_SAVE_LOCK).c_str(),
                                   st.save_wait_ms, &holder);
  if (lock.fd == -1) {
    out->boxes.push_back("Another control panel is saving (pid " + std::to_string(holder) + ")");
    return -1;
  }
  return save_locked(st, out);
}

}  // namespace kvl
