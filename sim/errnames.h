// Errno names as they appear in machine.json, state.json and the journal.
#pragma once

namespace kvl {

// "EIO" for EIO, ...; "E<number>" text for a number without a name here.
const char *errno_name(int err);
// The errno of a name such as "ENODEV", or 0 when the name is unknown.
int errno_value(const char *name);

}  // namespace kvl
