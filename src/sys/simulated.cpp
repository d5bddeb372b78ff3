#include "sys/simulated.h"

#include "sim/sim.h"
#include "sys/native.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

namespace kvl::simulated {

namespace {

constexpr int SEQUENCER_MINOR = 1;

// A descriptor opened on a device node: which device it stands for.
struct OpenDevice {
  int major;
  int minor;
};
std::map<int, OpenDevice> g_devices;

bool under(const char *path, const char *dir) {
  size_t n = std::strlen(dir);
  return std::strncmp(path, dir, n) == 0 && (path[n] == '\0' || path[n] == '/');
}

bool is_system_path(const char *path) { return under(path, "/dev") || under(path, "/etc"); }

// The node a real path holds, as status: a character device with the node's
// number and the file's permission bits.
void as_node(struct stat *st, int major, int minor) {
  st->st_mode = S_IFCHR | (st->st_mode & 07777);
  st->st_rdev = (static_cast<dev_t>(major) << 8) | static_cast<dev_t>(minor);
  st->st_size = 0;
}

int node_status(const char *real, struct stat *st) {
  int major = 0, minor = 0;
  if (S_ISREG(st->st_mode) && node_read(real, &major, &minor) == 0) as_node(st, major, minor);
  return 0;
}

}  // namespace

const char *root() {
  static const std::string dir = [] {
    const char *env = std::getenv("KVL_SIMROOT");
    std::string d = env ? env : "";
    if (!d.empty() && d[0] != '/') {  // a later chdir must not move the machine
      std::error_code ec;
      std::string abs = std::filesystem::absolute(d, ec).string();
      if (!ec) d = abs;
    }
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    return d;
  }();
  return dir.empty() ? nullptr : dir.c_str();
}

int map_path(const char *path, char *out, size_t outlen) {
  const char *prefix = is_system_path(path) ? root() : "";
  size_t a = std::strlen(prefix), b = std::strlen(path);
  if (a + b + 1 > outlen) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(out, prefix, a);
  std::memcpy(out + a, path, b + 1);
  return 0;
}

int open_path(const char *path, int flags, mode_t mode) {
  char real[PATH_MAX];
  if (map_path(path, real, sizeof real) < 0) return -1;
  if (!is_system_path(path)) return native::open_path(real, flags, mode);
  int major = -1, minor = -1;
  bool node = node_read(real, &major, &minor) == 0;
  if (sim_open_check(root(), path, major, minor) < 0) return -1;
  if (!node) return native::open_path(real, flags, mode);
  // The node file itself is never changed through its descriptor.
  int fd = native::open_path(real, flags & ~(O_TRUNC | O_APPEND), mode);
  if (fd >= 0) g_devices[fd] = {major, minor};
  return fd;
}

int close_fd(int fd) {
  g_devices.erase(fd);
  return native::close_fd(fd);
}

// An audio device records silence (zero bytes) of the size asked, counted
// in the state; other devices have nothing to read.
ssize_t read_fd(int fd, void *buf, size_t n) {
  auto it = g_devices.find(fd);
  if (it == g_devices.end()) return native::read_fd(fd, buf, n);
  if (audio_device_of_minor(it->second.minor) < 0) return 0;
  if (sim_audio_io(root(), it->second.minor, n, false) < 0) return -1;
  std::memset(buf, 0, n);
  return static_cast<ssize_t>(n);
}

// What is written to /dev/sequencer is captured, what is played on an audio
// device counted; other devices take and drop what they are given.
ssize_t write_fd(int fd, const void *buf, size_t n) {
  auto it = g_devices.find(fd);
  if (it == g_devices.end()) return native::write_fd(fd, buf, n);
  if (it->second.minor == SEQUENCER_MINOR && sim_capture(root(), buf, n) < 0) return -1;
  if (audio_device_of_minor(it->second.minor) >= 0 &&
      sim_audio_io(root(), it->second.minor, n, true) < 0)
    return -1;
  return static_cast<ssize_t>(n);
}

int ioctl_fd(int fd, unsigned long request, void *arg) {
  auto it = g_devices.find(fd);
  if (it == g_devices.end()) return native::ioctl_fd(fd, request, arg);
  return sim_request(root(), it->second.minor, static_cast<uint32_t>(request), arg);
}

int fstat_fd(int fd, struct stat *st) {
  if (native::fstat_fd(fd, st) < 0) return -1;
  auto it = g_devices.find(fd);
  if (it != g_devices.end()) as_node(st, it->second.major, it->second.minor);
  return 0;
}

int stat_path(const char *path, struct stat *st) {
  char real[PATH_MAX];
  if (map_path(path, real, sizeof real) < 0 || native::stat_path(real, st) < 0) return -1;
  return node_status(real, st);
}

int lstat_path(const char *path, struct stat *st) {
  char real[PATH_MAX];
  if (map_path(path, real, sizeof real) < 0 || native::lstat_path(real, st) < 0) return -1;
  return node_status(real, st);
}

int mknod_path(const char *path, mode_t mode, unsigned dev) {
  char real[PATH_MAX];
  if (map_path(path, real, sizeof real) < 0) return -1;
  if (!S_ISCHR(mode) || !is_system_path(path)) return native::mknod_path(real, mode, dev);
  return node_make(real, static_cast<int>(dev >> 8), static_cast<int>(dev & 0xff), mode & 07777);
}

int chmod_path(const char *path, mode_t mode) {
  char real[PATH_MAX];
  if (map_path(path, real, sizeof real) < 0) return -1;
  return native::chmod_path(real, mode);
}

int unlink_path(const char *path) {
  char real[PATH_MAX];
  if (map_path(path, real, sizeof real) < 0) return -1;
  return native::unlink_path(real);
}

// A target under /dev is made relative to the link's folder, so that the
// link resolves inside the machine (and keeps doing so if it moves).
int symlink_path(const char *target, const char *path) {
  char real[PATH_MAX], real_target[PATH_MAX];
  if (map_path(path, real, sizeof real) < 0) return -1;
  if (!under(target, "/dev")) return native::symlink_path(target, real);
  if (!is_system_path(path)) {
    if (map_path(target, real_target, sizeof real_target) < 0) return -1;
    return native::symlink_path(real_target, real);
  }
  namespace fs = std::filesystem;
  std::string rel = fs::path(target).lexically_normal().lexically_relative(fs::path(path).parent_path()).string();
  return native::symlink_path(rel.empty() ? "." : rel.c_str(), real);
}

int link_path(const char *oldpath, const char *newpath) {
  char a[PATH_MAX], b[PATH_MAX];
  if (map_path(oldpath, a, sizeof a) < 0 || map_path(newpath, b, sizeof b) < 0) return -1;
  return native::link_path(a, b);
}

void sync_all() { sim_sync(root()); }

FILE *fopen_path(const char *path, const char *mode) {
  char real[PATH_MAX];
  if (map_path(path, real, sizeof real) < 0) return nullptr;
  if (is_system_path(path) && sim_open_check(root(), path, -1, -1) < 0) return nullptr;
  return native::fopen_path(real, mode);
}

}  // namespace kvl::simulated
