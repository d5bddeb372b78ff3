// The checks of a database whose sections are read, before anything uses it:
// every count, index and field must stay inside the model.
#pragma once

#include <cstdint>
#include <string>

#include "hwdb/hwdb.h"

namespace kvl {

// Checks every count, index and field of a model whose sections are read, and
// the descrtab offsets (descr_count of them) against its strings. Returns 0,
// or -1 with one line "PATH: Invalid file contents: WHAT\n" in err.
int hwdb_validate(const HwdbModel &m, const uint32_t *offsets, const char *path,
                  std::string *err);

}  // namespace kvl
