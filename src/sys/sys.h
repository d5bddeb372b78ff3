// The seam to the operating system for the C++ programs. Every call that
// reaches the kernel or a system path (/dev, /etc) goes through here, to the
// backend chosen in the seam core (sys/seam.h); nothing else knows whether the
// real driver or the simulated machine answers.
//
// Native backend: the plain system calls. Simulated backend (built in with
// KVL_SIMULATOR, chosen by the program's entry when KVL_SIMROOT names a
// simulated machine directory, or by a test): /dev/... and /etc/... map into
// that directory, device nodes are regular files that need no privileges,
// driver requests are answered by the simulator, and sync is journalled
// instead of run.
//
// Every function returns like the call it wraps: 0 (or a count, or a
// descriptor) on success, -1 with errno set on failure. None prints anything.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdio>

namespace kvl {

int sys_open(const char *path, int flags, mode_t mode = 0);
int sys_close(int fd);
ssize_t sys_read(int fd, void *buf, size_t n);
ssize_t sys_write(int fd, const void *buf, size_t n);
// Issues a driver request on a device descriptor.
int sys_ioctl(int fd, unsigned long request, void *arg);

// File status. For device nodes st_rdev is in the driver's encoding,
// (major << 8) | minor, on both backends.
int sys_fstat(int fd, struct stat *st);
int sys_stat(const char *path, struct stat *st);
int sys_lstat(const char *path, struct stat *st);

// Creates a device node; mode carries the type bits (S_IFCHR) and permission
// bits, dev is (major << 8) | minor.
int sys_mknod(const char *path, mode_t mode, unsigned dev);
int sys_chmod(const char *path, mode_t mode);
int sys_unlink(const char *path);
int sys_symlink(const char *target, const char *path);
int sys_link(const char *oldpath, const char *newpath);
void sys_sync();

// Opens a system file such as /etc/kvl.conf with stdio.
FILE *sys_fopen(const char *path, const char *mode);

// Writes into out the path on this machine that stands for a system path
// (under the machine directory for /dev and /etc when simulated). Returns 0,
// or -1 with errno ENAMETOOLONG when it does not fit.
int sys_path(const char *path, char *out, size_t outlen);

// True when the simulated backend is chosen.
bool sys_simulated();

// The choice of backend, made once by each program's entry: the machine
// KVL_SIMROOT names when it is set and not empty (with the simulator built
// in), else the native backend. Returns 0, or -1 with errno ENAMETOOLONG when
// the machine's path is too long (the choice is then unchanged).
int sys_use_environment();
// For tests: the simulated machine at root (a relative root taken from the
// working directory now), or the native backend. sys_use_machine returns 0,
// or -1 with errno EINVAL for an empty root, ENAMETOOLONG, or ENOTSUP
// without the simulator; the choice is then unchanged.
int sys_use_machine(const char *root);
void sys_use_native();

}  // namespace kvl
