#include "common/common.h"
#include "start/start.h"

namespace kvl {

int open_control_device() { return control_open(g_core.control, g_core.configurator != 0); }

}  // namespace kvl
