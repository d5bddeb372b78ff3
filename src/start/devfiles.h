// The driver's device files under /dev, made after activation with the major
// number of /dev/mixer0.
#pragma once

#include <sys/types.h>

namespace kvl {

struct CoreRun;
struct StartupRun;

// Asks the driver for KVL_SYSINFO; more than 16 audio devices set
// the run's dspx flag. A failure is printed as "KVL_SYSINFO: error".
void query_sysinfo(StartupRun &run);
// Makes sure path is a node with (the major number << 8) | minor and the
// permission bits of mode (which also holds S_IFCHR), replacing a node of
// another number. Returns 0, or -1 after printing what failed.
int mk_sp_file(CoreRun &run, int minor, const char *path, mode_t mode);
// mk_sp_file for prefix + i (printed with fmt) and minor base + 16 * i, i from
// 0 to |count| - 1; unless count < 0, then links prefix to the first name.
void make_device_series(StartupRun &run, int base_minor, const char *prefix, const char *fmt, mode_t mode,
                        int count);
// Makes every device file of the driver under /dev, with links.
void make_device_files(StartupRun &run);

}  // namespace kvl
