// Feeds arbitrary bytes to the reader of etc/dspdevs.map, whose routing
// lists go to the fake driver.
#include "fuzz_support.h"
#include "start/start.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  kvlfuzz::run_start_reader("etc/dspdevs.map", data, size, kvl::apply_dspdevs_map);
  return 0;
}
