// The seam's entry points: each goes to the simulated backend when one is
// active, else to the native system calls.
#include "sys/sys.h"

#include "sys/native.h"

#include <cerrno>
#include <cstring>

#ifdef KVL_SIMULATOR
#include "sys/simulated.h"
#define KVL_CALL(fn, ...) (simulated::root() ? simulated::fn(__VA_ARGS__) : native::fn(__VA_ARGS__))
#else
#define KVL_CALL(fn, ...) (native::fn(__VA_ARGS__))
#endif

namespace kvl {

int sys_open(const char *path, int flags, mode_t mode) { return KVL_CALL(open_path, path, flags, mode); }
int sys_close(int fd) { return KVL_CALL(close_fd, fd); }
ssize_t sys_read(int fd, void *buf, size_t n) { return KVL_CALL(read_fd, fd, buf, n); }
ssize_t sys_write(int fd, const void *buf, size_t n) { return KVL_CALL(write_fd, fd, buf, n); }
int sys_ioctl(int fd, unsigned long request, void *arg) { return KVL_CALL(ioctl_fd, fd, request, arg); }
int sys_fstat(int fd, struct stat *st) { return KVL_CALL(fstat_fd, fd, st); }
int sys_stat(const char *path, struct stat *st) { return KVL_CALL(stat_path, path, st); }
int sys_lstat(const char *path, struct stat *st) { return KVL_CALL(lstat_path, path, st); }
int sys_mknod(const char *path, mode_t mode, unsigned dev) { return KVL_CALL(mknod_path, path, mode, dev); }
int sys_chmod(const char *path, mode_t mode) { return KVL_CALL(chmod_path, path, mode); }
int sys_unlink(const char *path) { return KVL_CALL(unlink_path, path); }
int sys_symlink(const char *target, const char *path) { return KVL_CALL(symlink_path, target, path); }
int sys_link(const char *oldpath, const char *newpath) { return KVL_CALL(link_path, oldpath, newpath); }
void sys_sync() { KVL_CALL(sync_all); }
FILE *sys_fopen(const char *path, const char *mode) { return KVL_CALL(fopen_path, path, mode); }

int sys_path(const char *path, char *out, size_t outlen) {
#ifdef KVL_SIMULATOR
  if (simulated::root()) return simulated::map_path(path, out, outlen);
#endif
  size_t n = std::strlen(path);
  if (n + 1 > outlen) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(out, path, n + 1);
  return 0;
}

bool sys_simulated() {
#ifdef KVL_SIMULATOR
  return simulated::root() != nullptr;
#else
  return false;
#endif
}

}  // namespace kvl
