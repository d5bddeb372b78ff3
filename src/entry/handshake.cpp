// The driver handshake: version check, status, and the driver table the
// rest of the run relies on.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/common.h"
#include "driver/driver.h"
#include "entry/entry.h"
#include "entry/handshake.h"
#include "settings/start_steps.h"

namespace kvl {

int driver_handshake(CoreRun &run) {
  apply_options_cfg(run.model.install_dir, run.control);

  int32_t version = 0;
  if (control_request(run.control, CTL_GET_VERSION, &version) < 0) return -1;
  if (version != DRIVER_VERSION) {
    std::fprintf(stderr, "Sorry, Incompatible sound driver version\n");
    std::fprintf(stderr, "Driver version is %06x. This program works with %06x.\n",
                 static_cast<unsigned>(version), static_cast<unsigned>(DRIVER_VERSION));
    std::fprintf(stderr, "Install the new driver binary to kernel and reboot\n");
    return 1;
  }
  if (run.model.verbosity >= 2) std::fprintf(stderr, "Sound driver contacted OK\n");

  int32_t status = 0;
  if (control_request(run.control, CTL_GET_STATUS, &status) < 0) return -1;
  run.driver_status = status;

  int32_t slots = 0;
  if (control_request(run.control, CTL_GET_NDRIVERS, &slots) < 0) return -1;
  run.model.drivers.slots = slots;
  if (run.model.verbosity >= 5) std::fprintf(stderr, "%d card level driver slots.\n", slots);

  int32_t keys[DRIVER_TYPE_SLOTS] = {};
  if (control_request(run.control, CTL_GET_DRIVER_TYPES, keys) < 0) return -1;
  static_assert(DRIVER_TYPE_SLOTS == MAX_DRIVER_KEYS);
  for (int i = 0; i < MAX_DRIVER_KEYS; i++) run.model.drivers.keys[i] = keys[i];
  return 0;
}

namespace {

// Splits text at each newline into the driver table: the count is the number
// of newlines plus one, capped at the size of the table; *lines gets the
// uncapped count. With described, each piece is "NAME:DESCRIPTION" (no
// colon: an empty description).
int split_driver_names(DriverTable &d, std::string_view text, bool described, int *lines) {
  int count = 0;
  *lines = 0;
  size_t start = 0;
  for (;;) {
    size_t nl = text.find('\n', start);
    std::string_view piece = text.substr(start, nl == std::string_view::npos ? nl : nl - start);
    if (count < MAX_DRIVER_NAMES) {
      size_t colon = described ? piece.find(':') : std::string_view::npos;
      d.names[count] = std::string(piece.substr(0, colon));
      d.texts[count] = colon == std::string_view::npos ? "" : std::string(piece.substr(colon + 1));
      count++;
    }
    ++*lines;
    if (nl == std::string_view::npos || (!described && count == MAX_DRIVER_NAMES)) break;
    start = nl + 1;
  }
  d.count = count;
  return count;
}

int take_names(CoreRun &run, std::string_view text, bool described) {
  int lines = 0;
  int count = split_driver_names(run.model.drivers, text, described, &lines);
  DriverTable &d = run.model.drivers;
  if (lines > count)
    std::fprintf(stderr, "Get drivers long: %d drivers reported, the first %d are used\n", lines,
                 count);
  if (run.model.verbosity >= 5)
    std::fprintf(stderr, "%d card level drivers actually installed.\n", lines);
  if (count < d.slots) d.slots = count;
  if (run.model.verbosity >= 6)
    for (int i = 0; i < count; i++) {
      int key = i < MAX_DRIVER_KEYS ? d.keys[i] : 0;
      if (described)
        std::fprintf(stderr, "%3d: %s (%s)\n", key, d.names[i].c_str(), d.texts[i].c_str());
      else
        std::fprintf(stderr, "%3d: %s\n", key, d.names[i].c_str());
    }
  return count;
}

}  // namespace

int take_driver_names(CoreRun &run, std::string_view text) { return take_names(run, text, false); }

int take_driver_descriptions(CoreRun &run, std::string_view text) {
  return take_names(run, text, true);
}

namespace {

// Get drivers or Get drivers long into the driver table.
int load_names(CoreRun &run, uint32_t code, bool described) {
  char text[DRIVER_LIST_BYTES + 1] = {};
  if (control_request(run.control, code, text) < 0) return -1;
  // The driver fills at most the request's 4096 bytes; the extra byte keeps
  // the text terminated even when it fills all of them.
  take_names(run, std::string_view(text, std::strlen(text)), described);
  return 0;
}

}  // namespace

int load_driver_names(CoreRun &run) { return load_names(run, CTL_GET_DRIVERS, false); }

int load_driver_descriptions(CoreRun &run) { return load_names(run, CTL_GET_DRIVERS_LONG, true); }

int load_driver_table(const ControlDevice &control, DriverTable &drivers) {
  int32_t slots = 0;
  if (control_request(control, CTL_GET_NDRIVERS, &slots) < 0) return -1;
  int32_t keys[DRIVER_TYPE_SLOTS] = {};
  if (control_request(control, CTL_GET_DRIVER_TYPES, keys) < 0) return -1;
  char text[DRIVER_LIST_BYTES + 1] = {};
  if (control_request(control, CTL_GET_DRIVERS, text) < 0) return -1;
  drivers.slots = slots;
  for (int i = 0; i < MAX_DRIVER_KEYS; i++) drivers.keys[i] = keys[i];
  int lines = 0;
  int count = split_driver_names(drivers, std::string_view(text, std::strlen(text)), false, &lines);
  if (count < drivers.slots) drivers.slots = count;
  return 0;
}

}  // namespace kvl
