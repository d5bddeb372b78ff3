// The simulated backend: system paths map into a simulated machine directory
// and device requests go to the driver simulator.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdio>

namespace kvl::simulated {

// The machine directory named by KVL_SIMROOT (read once), or nullptr when
// the native backend runs.
const char *root();

// Maps /dev/... and /etc/... into the machine; other paths stay. Returns 0,
// or -1 with errno ENAMETOOLONG.
int map_path(const char *path, char *out, size_t outlen);

int open_path(const char *path, int flags, mode_t mode);
int close_fd(int fd);
ssize_t read_fd(int fd, void *buf, size_t n);
ssize_t write_fd(int fd, const void *buf, size_t n);
int ioctl_fd(int fd, unsigned long request, void *arg);
int fstat_fd(int fd, struct stat *st);
int stat_path(const char *path, struct stat *st);
int lstat_path(const char *path, struct stat *st);
int mknod_path(const char *path, mode_t mode, unsigned dev);
int chmod_path(const char *path, mode_t mode);
int unlink_path(const char *path);
int symlink_path(const char *target, const char *path);
int link_path(const char *oldpath, const char *newpath);
void sync_all();
FILE *fopen_path(const char *path, const char *mode);

}  // namespace kvl::simulated
