// The diagnostic dump of a loaded database (start-up's verbosity 7 and the
// database tools).
#pragma once

#include <cstdio>

#include "hwdb/hwdb.h"

namespace kvl {

// Writes the model to out in the diagnostic dump format.
void hwdb_dump_model(const HwdbModel &m, FILE *out);

}  // namespace kvl
