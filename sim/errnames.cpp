#include "errnames.h"

#include "seqsim.h"

namespace kvl {

// One table for both sides of the simulator: seqsim.c's.
const char *errno_name(int err) {
  static char buf[SEQSIM_ERRNAME_BYTES];
  return seqsim_errno_name(err, buf);
}

int errno_value(const char *name) { return seqsim_errno_value(name); }

}  // namespace kvl
