// Feeds arbitrary bytes to the database parser as a decompressed stream; what
// it accepts is dumped, which walks every index the validation let through.
#include "hwdb/hwdb_dump.h"
#include "hwdb/hwdb_parse.h"

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static FILE *sink = std::fopen("/dev/null", "w");
  kvl::HwdbModel m;
  std::string err;
  if (kvl::hwdb_parse_bytes(data, size, "config.dat", &m, &err) == 0) {
    kvl::hwdb_dump_model(m, sink);
    kvl::hwdb_model_free(&m);
  }
  return 0;
}
