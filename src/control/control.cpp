// Requests on the control device.
#include "control/control.h"

#include <cerrno>

#include "common/common.h"
#include "driver/driver.h"
#include "sys/sys.h"

namespace kvl {

int control_send(const ControlDevice &dev, uint32_t code, void *record) {
  if (dev.fd < 0) {
    errno = ENODEV;
    return -1;
  }
  return sys_ioctl(dev.fd, code, record);
}

int control_request(const ControlDevice &dev, uint32_t code, void *record) {
  int rc = control_send(dev, code, record);
  if (rc < 0) print_error(request_label(code));
  return rc;
}

}  // namespace kvl
