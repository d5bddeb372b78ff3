// The one-line status file DIR/.status ("AUDSTART", "AUDSTART_OK", "AUDSET",
// "AUDSET_OK").
#include <cstdio>
#include <string>

#include "common/atomic_file.h"
#include "common/common.h"
#include "entry/install_status.h"

namespace kvl {

// Replaced, not rewritten in place: a reader never sees a half-written word.
// Not flushed to disk, since it is written at every start-up.
void write_install_status(const std::string &dir, const char *word) {
  std::string path = kvl_path(dir, ".status");
  if (replace_file(path.c_str(), std::string(word) + "\n", false) == 0) return;
  print_error(path.c_str());
  std::fprintf(stderr, "Cannot update install status\n");
}

}  // namespace kvl
