#include "common/common.h"
#include "start/start.h"

namespace kvl {

int control_request(uint32_t code, void *record) {
  return control_request(g_core.control, code, record);
}

}  // namespace kvl
