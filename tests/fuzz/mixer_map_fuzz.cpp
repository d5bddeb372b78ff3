// Feeds arbitrary bytes to the first pass over etc/mixer.map (the levels).
// The second pass runs the file's commands through the shell and is never
// called here.
#include "fuzz_support.h"
#include "start/start.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  kvlfuzz::run_start_reader("etc/mixer.map", data, size, kvl::load_mixer_levels);
  return 0;
}
