// Feeds arbitrary bytes to the reader of etc/dspdevs.map, whose routing
// lists go to the fake driver.
#include "common/common.h"
#include "fuzz_support.h"
#include "start/start.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  kvlfuzz::put_file("etc/dspdevs.map", data, size);
  kvl::g_core = kvl::CoreState{};
  kvl::g_core.install_dir = kvlfuzz::install_dir();
  kvl::g_core.control_fd = kvlfuzz::FAKE_CONTROL_FD;
  kvl::apply_dspdevs_map();
  return 0;
}
