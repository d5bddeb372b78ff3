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

// replace_file for a log file, which is never written through a symbolic
// link: path itself is replaced, so a link (or a pipe, or anything else but
// a plain file) there is replaced by the new plain file and what it named is
// not touched. The new file is the writer's own, 0666 less the umask, whoever
// owned the one it replaces; nothing is flushed to disk.
// Returns 0, or -1 with errno set (EISDIR for a folder in the way).
int replace_log_file(const char *path, std::string_view text);

// Makes a new, empty log file at path and opens it for writing, without
// following a symbolic link: whatever is there first (a link, a pipe, a
// file of anyone's, but not a folder) is removed, and the new file, the
// writer's own (0666 less the umask), is made only where nothing is. Returns
// the descriptor (closed on exec), or -1 with errno set.
int create_log_file(const char *path);

// Says once per process, on standard error, "Warning: FOLDER is writable by
// other users" when the log folder can be written by group or others (who
// could put links there; the logs never follow them).
void warn_if_log_folder_open(const char *folder);

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
