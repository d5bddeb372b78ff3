#include "fuzz_support.h"

#include "sys/sys.h"

#include <sys/stat.h>

#include <cerrno>

namespace kvl {

int sys_ioctl(int fd, unsigned long, void *) {
  if (fd == kvlfuzz::FAKE_CONTROL_FD) return 0;
  errno = EBADF;
  return -1;
}

void sys_sync() {}

// Firmware files named by a configuration are looked up as they are.
int sys_stat(const char *path, struct stat *st) { return ::stat(path, st); }

}  // namespace kvl
