// Feeds arbitrary bytes to the first pass over etc/mixer.map (the levels).
// The second pass runs the file's commands through the shell and is never
// called here.
#include "common/common.h"
#include "fuzz_support.h"
#include "start/start.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  kvlfuzz::put_file("etc/mixer.map", data, size);
  kvl::g_core = kvl::CoreState{};
  kvl::g_core.install_dir = kvlfuzz::install_dir();
  kvl::g_core.control_fd = kvlfuzz::FAKE_CONTROL_FD;
  kvl::load_mixer_levels();
  return 0;
}
