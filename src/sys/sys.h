// The seam to the operating system. Every call that reaches the kernel or a
// system path (/dev, /etc) goes through here; nothing else knows whether the
// real driver or the simulated machine answers.
//
// Native backend: the plain system calls. Simulated backend (built in with
// KVL_SIMULATOR, active when KVL_SIMROOT names a simulated machine directory):
// /dev/... and /etc/... map into that directory, device nodes are regular files
// that need no privileges, driver requests are answered by the simulator, and
// sync is journalled instead of run.
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
// (under KVL_SIMROOT for /dev and /etc when simulated). Returns 0, or -1 with
// errno ENAMETOOLONG when it does not fit.
int sys_path(const char *path, char *out, size_t outlen);

// True when the simulated backend is active.
bool sys_simulated();

}  // namespace kvl
