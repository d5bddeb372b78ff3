// PATH extension: the commands audcore runs later must find the system tools
// even when the start tool was run with a short PATH.
#include <cstdlib>
#include <string>

#include "entry/entry.h"

namespace kvl {

int extend_path() {
  // The composed value grows with the inherited PATH; a long PATH is never
  // cut, since a cut entry would point at a wrong directory.
  const char *old = std::getenv("PATH");
  std::string value = old ? old : "";
  value += ":/bin:/usr/bin:/usr/local/bin:/sbin:/usr/sbin";
  return setenv("PATH", value.c_str(), 1) == 0 ? 0 : -1;
}

}  // namespace kvl
