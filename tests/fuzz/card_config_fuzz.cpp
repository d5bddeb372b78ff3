// Feeds arbitrary bytes to the start-up applier of the card configuration:
// card headers, option lines, card lines and "/CONTROL" lines, with the fake
// driver accepting every card. Commands are only queued, never run; a
// firmware word is recorded here instead of opening the file it names.
#include "common/common.h"
#include "fuzz_support.h"
#include "entry/entry.h"
#include "start/card_config.h"
#include "start/firmware.h"
#include "start/startup.h"

#include <cstdint>
#include <cstdio>
#include <memory>

namespace kvl {

// Stands in for the firmware download, which would open any path of the input.
void run_card_command(CoreRun &, std::string_view, std::string_view, std::string_view) {}

}  // namespace kvl

namespace {

// Card-level drivers the configuration may name, with their type keys.
void set_drivers(kvl::DriverTable &drivers) {
  static const char *const names[] = {"isaaud", "isamidi", "pciaud", "SBPRO", "PNP"};
  drivers = kvl::DriverTable{};
  int n = 0;
  for (const char *name : names) {
    drivers.names[n] = name;
    drivers.keys[n] = 10 + n;
    n++;
  }
  drivers.count = drivers.slots = n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  static kvl::CoreRun *run = new kvl::CoreRun;
  *run = kvl::CoreRun{};
  set_drivers(run->model.drivers);
  run->model.install_dir = "/opt/kvl";  // only expanded into queued command texts
  run->control.fd = kvlfuzz::FAKE_CONTROL_FD;
  run->model.verbosity = 1;  // the word echo is part of the path under test
  auto startup = std::make_unique<kvl::StartupRun>(*run);
  kvl::apply_card_config(*startup, std::string_view(reinterpret_cast<const char *>(data), size));
  return 0;
}
