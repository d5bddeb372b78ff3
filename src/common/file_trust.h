// Whether a file may hand commands to a program that runs them as root: only
// when nobody but root, the running user and the installation's owner can
// change what it says, anywhere on the way to it.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace kvl {

// The owners whose files and folders are trusted: root, the running user and
// owner (the installation directory's; pass root when there is none).
struct TrustedOwners {
  uid_t owner = 0;
};

// True when st's owner is one of owners.
bool trusted_owner(const struct stat &st, const TrustedOwners &owners);

// True when the plain file of st is owned by one of owners and writable by
// neither its group nor others.
bool trusted_file(const struct stat &st, const TrustedOwners &owners);

// The owners of the installation directory dir. Returns 0, or -1 with errno
// set when dir cannot be examined.
int install_owners(const char *dir, TrustedOwners *owners);

// Follows path name by name, from "/" (a relative path from the working
// folder), and every symbolic link on the way, as the system would open it:
// every folder passed and every link met must be owned by one of owners; a
// folder writable by group or others is passed only when it is sticky (then
// no one else can remove or rename the entry taken from it, which is checked
// like the others); the file reached must be a plain file and pass
// trusted_file. Returns 1 when all of it passes, 0 when something does not,
// -1 with errno set when a name cannot be examined (a missing file, a loop of
// links). The file reached is described in *reached when given.
int commands_file_trusted(const char *path, const TrustedOwners &owners,
                          struct stat *reached = nullptr);

}  // namespace kvl
