// Feeds arbitrary bytes to the start-up reader of etc/options.cfg, whose
// options go to the fake driver.
#include "fuzz_support.h"
#include "start/start.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  kvlfuzz::run_start_reader("etc/options.cfg", data, size, kvl::apply_options_cfg);
  return 0;
}
