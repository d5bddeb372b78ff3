// The driver handshake: version check, status, and the driver table the
// rest of the run relies on.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/common.h"
#include "driver/driver.h"
#include "start/start.h"

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

// Splits text at each newline into run.model.drivers.names: the count is the number
// of newlines plus one, capped at the size of the name table.
int split_driver_names(CoreRun &run, std::string_view text) {
  int count = 0;
  size_t start = 0;
  for (;;) {
    size_t nl = text.find('\n', start);
    std::string_view name = text.substr(start, nl == std::string_view::npos ? nl : nl - start);
    run.model.drivers.names[count++] = std::string(name);
    if (nl == std::string_view::npos || count == MAX_DRIVER_NAMES) break;
    start = nl + 1;
  }
  run.model.drivers.count = count;
  return count;
}

}  // namespace

int take_driver_names(CoreRun &run, std::string_view text) {
  int count = split_driver_names(run, text);
  if (run.model.verbosity >= 5)
    std::fprintf(stderr, "%d card level drivers actually installed.\n", count);
  if (count < run.model.drivers.slots) run.model.drivers.slots = count;
  if (run.model.verbosity >= 6)
    for (int i = 0; i < count; i++)
      std::fprintf(stderr, "%3d: %s\n", run.model.drivers.keys[i], run.model.drivers.names[i].c_str());
  return count;
}

int load_driver_names(CoreRun &run) {
  char text[DRIVER_LIST_BYTES + 1] = {};
  if (control_request(run.control, CTL_GET_DRIVERS, text) < 0) return -1;
  // The driver fills at most the request's 4096 bytes; the extra byte keeps
  // the text terminated even when it fills all of them.
  take_driver_names(run, std::string_view(text, std::strlen(text)));
  return 0;
}

}  // namespace kvl
