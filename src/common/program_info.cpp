#include "common/program_info.h"

#include <cstdio>
#include <cstring>

namespace kvl {

const char PACKAGE_VERSION[] = KVL_PACKAGE_VERSION;

int print_program_info(const char *arg, const char *name, const char *usage) {
  if (!arg) return 0;
  if (std::strcmp(arg, "--help") == 0) {
    std::fputs(usage, stdout);
  } else if (std::strcmp(arg, "--version") == 0) {
    std::printf("%s (Kelvane) %s\n", name, PACKAGE_VERSION);
  } else {
    return 0;
  }
  std::fflush(stdout);
  return 1;
}

}  // namespace kvl
