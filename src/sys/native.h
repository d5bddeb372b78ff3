// The native backend: the plain system calls, with device numbers in the
// driver's encoding, (major << 8) | minor.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdio>

namespace kvl::native {

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

}  // namespace kvl::native
