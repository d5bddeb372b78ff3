// The configurator's lock, as the configurator and kvlcfg take it.
#include "entry/config_lock.h"

#include <cstdio>
#include <string>

#include "common/common.h"
#include "common/file_lock.h"

namespace kvl {

std::string configurator_running_text(long holder) {
  return "Another configurator is running (pid " + std::to_string(holder) + ")";
}

int lock_configurator(const std::string &dir, long *holder) {
  int fd = take_file_lock(kvl_path(dir, CONFIG_LOCK).c_str(), holder);
  if (fd == -1) std::fprintf(stderr, "%s\n", configurator_running_text(*holder).c_str());
  return fd;
}

int configurator_running(const std::string &dir, long *holder) {
  if (file_lock_holder(kvl_path(dir, CONFIG_LOCK).c_str(), holder) != 1) return 0;
  std::fprintf(stderr, "%s\n", configurator_running_text(*holder).c_str());
  return 1;
}

}  // namespace kvl
