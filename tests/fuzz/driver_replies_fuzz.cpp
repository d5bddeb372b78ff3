// Feeds arbitrary bytes to the readers of the driver's replies: start-up's
// handshake (version, status, slot count, type keys), the Get drivers text,
// the card report (card count, card info), and the control panel's driver
// check (system information, audio device information, the three routing
// lists) with the device lines it shows.
//
// The input is the driver: each request takes one byte, whose low bit makes
// the request fail (with the errno its next bits choose), and otherwise fills
// the request's record from the next bytes (zeros once the input ends).
// Once the input is used up every request fails with EIO, so a count that
// the driver made huge still ends.
#include "driver/driver.h"
#include "panel/panel.h"
#include "entry/entry.h"
#include "entry/handshake.h"
#include "start/card_report.h"
#include "sys/sys.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int CONTROL_FD = 1000;
const uint8_t *reply;
size_t reply_left;

}  // namespace

namespace kvl {

int sys_ioctl(int fd, unsigned long request, void *arg) {
  if (fd != CONTROL_FD) {
    errno = EBADF;
    return -1;
  }
  if (reply_left == 0) {
    errno = EIO;
    return -1;
  }
  uint8_t how = *reply++;
  reply_left--;
  if (how & 1) {
    static const int errs[] = {EINVAL, EIO, ENODEV, ENXIO};
    errno = errs[(how >> 1) & 3];
    return -1;
  }
  uint32_t code = static_cast<uint32_t>(request);
  if (ioc_reads(code)) {
    size_t size = ioc_size(code), n = size < reply_left ? size : reply_left;
    std::memcpy(arg, reply, n);
    std::memset(static_cast<char *>(arg) + n, 0, size - n);
    reply += n;
    reply_left -= n;
  }
  return 0;
}

// The readers reached here call no other seam function for their replies;
// these keep the real seam out of the link.
void sys_sync() {}
int sys_stat(const char *path, struct stat *st) { return ::stat(path, st); }
FILE *sys_fopen(const char *, const char *) {
  errno = ENOENT;
  return nullptr;
}

}  // namespace kvl

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  reply = data;
  reply_left = size;

  // Start-up, as far as it reads what the driver says. The options file of
  // a missing installation directory is silently absent.
  static kvl::CoreRun *run = new kvl::CoreRun;
  *run = kvl::CoreRun{};
  run->control.fd = CONTROL_FD;
  run->model.install_dir = "/nonexistent/kvl-fuzz";
  run->model.verbosity = 7;  // every line that prints a reply
  if (kvl::driver_handshake(*run) == 0 && kvl::load_driver_names(*run) == 0) {
    const kvl::DriverTable &d = run->model.drivers;
    if (d.count < 1 || d.count > kvl::MAX_DRIVER_NAMES || d.slots > d.count) std::abort();
    int all_ok = 0;
    kvl::report_cards(*run, &all_ok);
  }

  // The control panel's driver check and the lines of its reorder dialog.
  static kvl::PanelState *st = new kvl::PanelState;
  *st = kvl::PanelState{};
  st->control.fd = CONTROL_FD;
  std::string error;
  if (kvl::check_driver(*st, &error) == 0) {
    for (const kvl::RoutingRecord &rec : st->routes) {
      kvl::ReorderList list = kvl::reorder_list_from(rec);
      if (rec.count < 0 || rec.count > 64 || list.count != rec.count) std::abort();
      for (int i = 0; i < list.count; i++) {
        kvl::AudioInfo ai = {};
        ai.dev = list.devices[i];
        bool known = kvl::control_send(st->control, kvl::SNDCTL_AUDIOINFO, &ai) == 0;
        std::string line = kvl::device_line(list.devices[i], known ? &ai : nullptr);
        if (line.size() > 100) std::abort();  // a name fills at most its 64-byte field
      }
    }
  }
  return 0;
}
