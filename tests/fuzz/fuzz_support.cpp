#include "fuzz_support.h"

#include "sys/sys.h"

#include <cerrno>

namespace kvl {

int sys_ioctl(int fd, unsigned long, void *) {
  if (fd == kvlfuzz::FAKE_CONTROL_FD) return 0;
  errno = EBADF;
  return -1;
}

void sys_sync() {}

}  // namespace kvl
