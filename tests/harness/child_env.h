// The environment of a program under test on a terminal.
#pragma once

#include <string>
#include <vector>

namespace kvltest {

// This process's environment without LINES and COLUMNS, with TERM=xterm-xfree86,
// LC_ALL=C and ESCDELAY=25, then extra applied ("NAME=value" sets, "NAME="
// removes).
std::vector<std::string> child_env(const std::vector<std::string> &extra);

}  // namespace kvltest
