// Feeds arbitrary bytes to the reader of the simulator's device-node files
// (the seam's stat, the C seam's open and kvlsim devices all use it). Only
// the exact text "KVLSIM-CHR MAJOR MINOR\n" is a node: what the reader takes
// must be written back byte for byte, and a node file made from the numbers
// it read must read back to them.
#include "sim/seqsim.h"
#include "sim_fuzz_dir.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string &dir = kvlfuzz::machine_dir();
  std::string node = dir + "/dev/node", copy = dir + "/dev/copy";
  kvlfuzz::put_file("dev/node", data, size);
  int major = -1, minor = -1;
  if (seqsim_node_read(node.c_str(), &major, &minor) != 0) return 0;
  char text[64];
  int n = std::snprintf(text, sizeof text, "KVLSIM-CHR %d %d\n", major, minor);
  if (major < 0 || minor < 0 || static_cast<size_t>(n) != size || std::memcmp(text, data, size) != 0)
    std::abort();
  unlink(copy.c_str());
  int major2 = -1, minor2 = -1;
  if (seqsim_node_create(copy.c_str(), major, minor, 0640) != 0 ||
      seqsim_node_read(copy.c_str(), &major2, &minor2) != 0 || major2 != major || minor2 != minor)
    std::abort();
  return 0;
}
