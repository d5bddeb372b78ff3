// The option word of audcore: one letter per option.
#include <cstdio>

#include "common/common.h"
#include "start/start.h"

namespace kvl {

void parse_option_word(const char *word) {
  for (const char *p = word; *p; p++) {
    switch (*p) {
      case 'v': g_core.verbosity++; break;
      case 'c': g_core.configurator = 1; break;
      case 'T':
        g_core.configurator = 1;
        g_core.driver_list = 1;
        break;
      case 'x':  // accepted for compatibility; no effect
      case 'i':
      case '-':
        break;
      default:
        std::fprintf(stderr, "Warning: Unrecognized option %c\n", *p);
        break;
    }
  }
}

}  // namespace kvl
