// Opening and closing the control device. Kept apart from the requests, so a
// program (or a fuzz target with its own seam) that only sends requests does
// not pull in the rest of the seam.
#include "control/control.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "common/common.h"
#include "sys/sys.h"

namespace kvl {

int control_open(ControlDevice &dev, bool optional) {
  dev.fd = sys_open("/dev/mixer0", O_RDWR);
  if (dev.fd < 0) {
    if (optional) {
      dev.no_driver = 1;
      dev.open_error = errno;
      return 0;
    }
    print_error("Open /dev/mixer0");
    return -1;
  }
  struct stat st;
  if (sys_fstat(dev.fd, &st) != 0) {
    print_error("Can't fstat /dev/mixer0");
    return -1;
  }
  if (!S_ISCHR(st.st_mode)) {
    std::fprintf(stderr, "Error: /dev/mixer0 is not a character device\n");
    return -1;
  }
  dev.major = static_cast<int>((st.st_rdev >> 8) & 0xff);
  return 0;
}

void control_close(ControlDevice &dev) {
  if (dev.fd >= 0) sys_close(dev.fd);
  dev.fd = -1;
  dev.no_driver = 1;
}

}  // namespace kvl
