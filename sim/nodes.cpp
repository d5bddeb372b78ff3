// Device nodes of a simulated machine: regular files that need no privileges.
#include "sim.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvl {

namespace {

constexpr const char *NODE_MAGIC = "KVLSIM-CHR";

}  // namespace

int node_read(const char *file, int *major, int *minor) {
  int fd = open(file, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  char buf[64];
  ssize_t n = -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < static_cast<off_t>(sizeof buf))
    n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return -1;
  buf[n] = '\0';
  int ma = 0, mi = 0, used = 0;
  char magic[16];
  if (std::sscanf(buf, "%15s %d %d\n%n", magic, &ma, &mi, &used) != 3 || std::strcmp(magic, NODE_MAGIC) ||
      used != n || buf[n - 1] != '\n' || ma < 0 || mi < 0)
    return -1;
  // The exact text, so that a file that merely resembles a node is not one.
  char exact[64];
  std::snprintf(exact, sizeof exact, "%s %d %d\n", NODE_MAGIC, ma, mi);
  if (std::strcmp(exact, buf) != 0) return -1;
  *major = ma;
  *minor = mi;
  return 0;
}

int node_create(const char *file, int major, int minor, mode_t perms) {
  int fd = open(file, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  char text[64];
  int len = std::snprintf(text, sizeof text, "%s %d %d\n", NODE_MAGIC, major, minor);
  int rc = 0;
  if (write(fd, text, static_cast<size_t>(len)) != len) rc = -1;
  int e = errno;
  if (fchmod(fd, perms & 07777) < 0 && rc == 0) {
    rc = -1;
    e = errno;
  }
  if (close(fd) < 0 && rc == 0) {
    rc = -1;
    e = errno;
  }
  if (rc < 0) {
    unlink(file);
    errno = e;
  }
  return rc;
}

}  // namespace kvl
