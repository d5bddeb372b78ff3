// The driver's device files under /dev.
#include "start/start.h"

namespace kvl {

// Lands with the device-files issue.
void query_sysinfo() {}

// Lands with the device-files issue.
void make_device_files() {}

}  // namespace kvl
