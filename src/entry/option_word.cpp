// The option word of audcore: one letter per option.
#include <cstdio>

#include "entry/entry.h"

namespace kvl {

void parse_option_word(CoreRun &run, const char *word) {
  for (const char *p = word; *p; p++) {
    switch (*p) {
      case 'v': run.model.verbosity++; break;
      case 'c': run.configurator = 1; break;
      case 'T':
        run.configurator = 1;
        run.driver_list = 1;
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
