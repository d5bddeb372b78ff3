// Whether a file may hand commands to a program that runs them as root: only
// when nobody but root and the running user can change what it says.
#pragma once

#include <sys/stat.h>

namespace kvl {

// True when the file or folder of st is owned by root or the running user
// and is writable by neither its group nor others.
bool only_owner_can_change(const struct stat &st);

// Checks the file at path (a symbolic link is followed), the folder path
// names it in and, for a link, the folder of its final target. Returns 1 when
// each passes only_owner_can_change, 0 when one does not, -1 with errno set
// when one cannot be examined.
int commands_file_trusted(const char *path);

}  // namespace kvl
