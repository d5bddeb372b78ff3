// The C++ programs' seam: each entry point is the chosen backend's operation,
// and with KVL_SIMULATOR the simulated driver is the simulator (kvl_sim).
#include "sys/sys.h"

#include "sys/seam.h"

#include <type_traits>

#ifdef KVL_SIMULATOR
#include "sim/sim.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#endif

namespace kvl {

namespace {

#ifdef KVL_SIMULATOR
constexpr int SEQUENCER_MINOR = 1;

// The node file itself is never changed through its descriptor.
int open_device(const char *, const char *, const char *real, int, int, int flags, mode_t mode) {
  return ::open(real, flags & ~(O_TRUNC | O_APPEND), mode);
}

// An audio device records silence (zero bytes) of the size asked, counted
// in the state; other devices have nothing to read.
ssize_t read_device(const char *root, int, int minor, void *buf, size_t n) {
  if (audio_device_of_minor(minor) < 0) return 0;
  if (sim_audio_io(root, minor, n, false) < 0) return -1;
  std::memset(buf, 0, n);
  return static_cast<ssize_t>(n);
}

// What is written to /dev/sequencer is captured, what is played on an audio
// device counted; other devices take and drop what they are given.
ssize_t write_device(const char *root, int, int minor, const void *buf, size_t n) {
  if (minor == SEQUENCER_MINOR && sim_capture(root, buf, n) < 0) return -1;
  if (audio_device_of_minor(minor) >= 0 && sim_audio_io(root, minor, n, true) < 0) return -1;
  return static_cast<ssize_t>(n);
}

int ioctl_device(const char *root, int, int minor, unsigned long request, void *arg) {
  return sim_request(root, minor, static_cast<uint32_t>(request), arg);
}

const kvl_seam_driver SIMULATOR = {sim_open_check, open_device,  read_device,
                                   write_device,   ioctl_device, sim_sync};
const kvl_seam_driver *const DRIVER = &SIMULATOR;
#else
const kvl_seam_driver *const DRIVER = nullptr;
#endif

// The chosen backend, chosen from the environment when nothing chose yet;
// nullptr with errno set when that fails (a machine path too long).
const kvl_seam_ops *seam() { return kvl_seam(DRIVER); }

// Calls the chosen backend's operation; without one, what a failed call
// returns (errno set by the choice).
template <typename R, typename... Params, typename... Args>
R call(R (*kvl_seam_ops::*op)(Params...), Args... args) {
  const kvl_seam_ops *s = seam();
  if (!s) {
    if constexpr (std::is_pointer_v<R>)
      return nullptr;
    else
      return -1;
  }
  return (s->*op)(args...);
}

}  // namespace

int sys_open(const char *path, int flags, mode_t mode) {
  return call(&kvl_seam_ops::open, path, flags, mode);
}
int sys_close(int fd) { return call(&kvl_seam_ops::close, fd); }
ssize_t sys_read(int fd, void *buf, size_t n) { return call(&kvl_seam_ops::read, fd, buf, n); }
ssize_t sys_write(int fd, const void *buf, size_t n) {
  return call(&kvl_seam_ops::write, fd, buf, n);
}
int sys_ioctl(int fd, unsigned long request, void *arg) {
  return call(&kvl_seam_ops::ioctl, fd, request, arg);
}
int sys_fstat(int fd, struct stat *st) { return call(&kvl_seam_ops::fstat, fd, st); }
int sys_stat(const char *path, struct stat *st) { return call(&kvl_seam_ops::stat, path, st); }
int sys_lstat(const char *path, struct stat *st) { return call(&kvl_seam_ops::lstat, path, st); }
int sys_mknod(const char *path, mode_t mode, unsigned dev) {
  return call(&kvl_seam_ops::mknod, path, mode, dev);
}
int sys_chmod(const char *path, mode_t mode) { return call(&kvl_seam_ops::chmod, path, mode); }
int sys_unlink(const char *path) { return call(&kvl_seam_ops::unlink, path); }
int sys_symlink(const char *target, const char *path) {
  return call(&kvl_seam_ops::symlink, target, path);
}
int sys_link(const char *oldpath, const char *newpath) {
  return call(&kvl_seam_ops::link, oldpath, newpath);
}
void sys_sync() {
  if (auto s = seam()) s->sync();
}
FILE *sys_fopen(const char *path, const char *mode) {
  return call(&kvl_seam_ops::fopen, path, mode);
}

int sys_path(const char *path, char *out, size_t outlen) {
  if (!seam()) return -1;
  return kvl_seam_map_path(kvl_seam_root(), path, out, outlen);
}

bool sys_simulated() { return seam() && kvl_seam_root() != nullptr; }

int sys_use_environment() { return kvl_seam_use_environment(DRIVER); }
int sys_use_machine(const char *root) { return kvl_seam_use_machine(root, DRIVER); }
void sys_use_native() { kvl_seam_use_native(); }

}  // namespace kvl
