// Replacing a file so that a crash or a full disk never leaves it half written.
#pragma once

#include <string_view>

namespace kvl {

// Replaces the file at path by text: written to a temporary file in the same
// directory and renamed over path (keeping the old file's permission bits);
// with durable, the data and the rename are flushed to disk first. Returns 0,
// or -1 with errno set; then the old file is unchanged and no temporary file
// is left.
int replace_file(const char *path, std::string_view text, bool durable = true);

// Whether replace_file could write beside path: creates the temporary file it
// would use in path's directory and removes it again, touching nothing else.
// Returns 0, or -1 with errno set (the directory is missing, not writable or
// full).
int check_replaceable(const char *path);

}  // namespace kvl
