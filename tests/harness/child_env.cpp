#include "child_env.h"

#include "support.h"

namespace kvltest {

std::vector<std::string> child_env(const std::vector<std::string> &extra) {
  std::vector<std::string> entries = {"LINES=", "COLUMNS=", "TERM=xterm-xfree86", "LC_ALL=C",
                                      "ESCDELAY=25"};
  entries.insert(entries.end(), extra.begin(), extra.end());
  return environment_with(entries);
}

}  // namespace kvltest
