// Driver requests of the start-up steps, reported under their labels.
#include "common/common.h"
#include "driver/driver.h"
#include "start/start.h"

namespace kvl {

int control_request(uint32_t code, void *record) {
  int rc = driver_request(g_core.control_fd, code, record);
  if (rc < 0) print_error(request_label(code));
  return rc;
}

}  // namespace kvl
