// Feeds arbitrary bytes to the start-up reader of etc/options.cfg, whose
// options go to the fake driver.
#include "common/common.h"
#include "fuzz_support.h"
#include "start/start.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  kvlfuzz::put_file("etc/options.cfg", data, size);
  kvl::g_core = kvl::CoreState{};
  kvl::g_core.install_dir = kvlfuzz::install_dir();
  kvl::g_core.control_fd = kvlfuzz::FAKE_CONTROL_FD;
  kvl::apply_options_cfg();
  return 0;
}
