#include "sys/native.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kvl::native {

namespace {

// Device numbers of character and block devices in the driver's encoding.
void normalise(struct stat *st) {
  if (S_ISCHR(st->st_mode) || S_ISBLK(st->st_mode))
    st->st_rdev = (static_cast<dev_t>(major(st->st_rdev)) << 8) | minor(st->st_rdev);
}

}  // namespace

int open_path(const char *path, int flags, mode_t mode) { return open(path, flags, mode); }

int close_fd(int fd) { return close(fd); }

ssize_t read_fd(int fd, void *buf, size_t n) { return read(fd, buf, n); }

ssize_t write_fd(int fd, const void *buf, size_t n) { return write(fd, buf, n); }

int ioctl_fd(int fd, unsigned long request, void *arg) { return ioctl(fd, request, arg); }

int fstat_fd(int fd, struct stat *st) {
  if (fstat(fd, st) < 0) return -1;
  normalise(st);
  return 0;
}

int stat_path(const char *path, struct stat *st) {
  if (stat(path, st) < 0) return -1;
  normalise(st);
  return 0;
}

int lstat_path(const char *path, struct stat *st) {
  if (lstat(path, st) < 0) return -1;
  normalise(st);
  return 0;
}

int mknod_path(const char *path, mode_t mode, unsigned dev) {
  return mknod(path, mode, makedev(dev >> 8, dev & 0xff));
}

int chmod_path(const char *path, mode_t mode) { return chmod(path, mode); }

int unlink_path(const char *path) { return unlink(path); }

int symlink_path(const char *target, const char *path) { return symlink(target, path); }

int link_path(const char *oldpath, const char *newpath) { return link(oldpath, newpath); }

void sync_all() { sync(); }

FILE *fopen_path(const char *path, const char *mode) { return fopen(path, mode); }

}  // namespace kvl::native
