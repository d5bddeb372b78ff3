// Replacing a file so that a crash or a full disk never leaves it half written.
#pragma once

#include <string_view>

namespace kvl {

// Replaces the file at path by text, the way writing it in place would but
// atomically: text goes to a new temporary file "FILE.tmp.PID.XXXXXX" beside
// it (PID the writer's process id, XXXXXX unpredictable, made by mkostemp, so
// nothing planted under a guessed name can stand in the way), which is
// renamed over the file.
// - A symbolic link at path is followed: its final target is replaced and
//   the link stays.
// - An existing regular file must open for writing, as it would in place: a
//   read-only file of someone else is refused (EACCES) and stays.
// - The replaced file's permission bits, owner and group are kept; when they
//   cannot be (another owner, as a user who is not root) the save is refused.
//   A new file gets new_mode, or 0666 less the umask when new_mode is -1.
// - A temporary file that a killed writer left beside the file is removed
//   (one whose PID no longer runs, or is this process's own).
// With durable, the data and the rename are flushed to disk first. Returns
// 0, or -1 with errno set; then the old file is unchanged and no temporary
// file is left.
int replace_file(const char *path, std::string_view text, bool durable = true, int new_mode = -1);

// Whether replace_file could write beside path: creates the temporary file it
// would use in path's directory and removes it again, touching nothing else.
// Returns 0, or -1 with errno set (the directory is missing, not writable or
// full).
int check_replaceable(const char *path);

// The checks replace_file makes before it writes (links followed, no folder
// in the way, an existing file writable), then check_replaceable beside the
// file it would write: for saving several files only when each one can be.
int check_target_replaceable(const char *path);

}  // namespace kvl
