// Feeds arbitrary bytes to the etc/dspdevs.map reader. A file read without a
// problem must write back and read back to the same routing.
#include "settings/dspdevs_map.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(data), size);
  kvl::DspdevsMap map, back;
  if (kvl::parse_dspdevs_map(text, &map) != 0) {
    if (map.count != 0 || map.problems.size() != 1) std::abort();
    return 0;
  }
  std::string written;
  if (kvl::format_dspdevs_map(map, &written) != 0) std::abort();
  if (kvl::parse_dspdevs_map(written, &back) != 0 || !(back == map)) std::abort();
  return 0;
}
