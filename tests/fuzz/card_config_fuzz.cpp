// Feeds arbitrary bytes to the start-up applier of the card configuration:
// card headers, option lines, card lines and "/CONTROL" lines, with the fake
// driver accepting every card. Commands are only queued, never run; a
// firmware word is recorded here instead of opening the file it names.
#include "common/common.h"
#include "fuzz_support.h"
#include "start/start.h"

#include <cstdint>
#include <cstdio>

namespace kvl {

// Stands in for the firmware download, which would open any path of the input.
void run_card_command(std::string_view, std::string_view, std::string_view) {}

}  // namespace kvl

namespace {

// Card-level drivers the configuration may name, with their type keys.
void set_drivers() {
  static const char *const names[] = {"isaaud", "isamidi", "pciaud", "SBPRO", "PNP"};
  kvl::g_drivers = kvl::DriverTable{};
  int n = 0;
  for (const char *name : names) {
    kvl::g_drivers.names[n] = name;
    kvl::g_drivers.keys[n] = 10 + n;
    n++;
  }
  kvl::g_drivers.count = kvl::g_drivers.slots = n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = (set_drivers(), true);
  (void)ready;
  if (size == 0) return 0;
  kvl::g_core = kvl::CoreState{};
  kvl::g_core.install_dir = "/opt/kvl";  // only expanded into queued command texts
  kvl::g_core.control_fd = kvlfuzz::FAKE_CONTROL_FD;
  kvl::g_core.verbosity = 1;  // the word echo is part of the path under test
  kvl::g_apply = kvl::ApplyState{};
  for (int i = 0; i < kvl::g_commands.count; i++) kvl::g_commands.commands[i].clear();
  kvl::g_commands.count = 0;

  std::FILE *in = fmemopen(const_cast<uint8_t *>(data), size, "r");
  if (!in) return 0;
  kvl::apply_card_config(in);
  std::fclose(in);
  return 0;
}
