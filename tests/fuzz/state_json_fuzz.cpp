// Feeds arbitrary bytes to the simulator as DIR/state.json, the driver state
// a person or a test may have edited, beside the built-in demo machine; then
// sends every request of the driver interface. The simulator refuses a state
// of the wrong shape with a message and EIO; it never crashes on one.
#include "sim/machine.h"
#include "sim_fuzz_dir.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool machine_written = [] {
    const char *demo = kvl::demo_machine_json();
    kvlfuzz::put_file("machine.json", demo, std::strlen(demo));
    return true;
  }();
  (void)machine_written;
  kvlfuzz::put_file("state.json", data, size);
  kvlfuzz::walk_requests();
  return 0;
}
