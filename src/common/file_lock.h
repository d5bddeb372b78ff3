// A lock that one process of a kind holds while it runs: an flock on a file
// that also names the holder's pid. The system drops the lock when the
// process ends, however it ends.
#pragma once

namespace kvl {

// Takes the exclusive lock of the file at path (created when missing) and
// writes this process's pid into it. Returns the descriptor to keep open
// while the lock is held; -1 when another process holds it, with *holder its
// pid (0 when unknown); -2 with errno set when the file cannot be opened.
int take_file_lock(const char *path, long *holder);

// The same, waiting up to wait_ms for another holder to let go (tries every
// 10 ms). Returns what take_file_lock returns after the last try.
int take_file_lock_waiting(const char *path, int wait_ms, long *holder);

// Whether another process holds the lock of the file at path, found without
// keeping the lock and without creating or writing the file. Returns 1 with
// *holder its pid (0 when unknown), 0 when nobody holds it or the file does
// not exist, -1 with errno set when the file cannot be opened.
int file_lock_holder(const char *path, long *holder);

}  // namespace kvl
