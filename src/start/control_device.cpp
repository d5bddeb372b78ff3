// The control device /dev/mixer0: every driver request of the run goes to it.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "common/common.h"
#include "start/start.h"
#include "sys/sys.h"

namespace kvl {

int open_control_device() {
  g_core.control_fd = sys_open("/dev/mixer0", O_RDWR);
  if (g_core.control_fd < 0) {
    if (g_core.configurator) {
      g_core.no_driver = 1;
      return 0;
    }
    print_error("Open /dev/mixer0");
    return -1;
  }
  struct stat st;
  if (sys_fstat(g_core.control_fd, &st) != 0) {
    print_error("Can't fstat /dev/mixer0");
    return -1;
  }
  if (!S_ISCHR(st.st_mode)) {
    std::fprintf(stderr, "Error: /dev/mixer0 is not a character device\n");
    return -1;
  }
  g_core.major = static_cast<int>((st.st_rdev >> 8) & 0xff);
  return 0;
}

}  // namespace kvl
