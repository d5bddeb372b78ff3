#include "common/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace kvl {

namespace {

int write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    text.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

mode_t mode_for(const char *path) {
  struct stat st;
  if (stat(path, &st) == 0) return st.st_mode & 07777;
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// The directory entry of the rename reaches the disk too.
void sync_directory(const std::string &path) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

int replace_file(const char *path, std::string_view text, bool durable) {
  std::string tmp = std::string(path) + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return -1;
  // Past a file-size limit, write fails with EFBIG instead of killing us.
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  int rc = fchmod(fd, mode_for(path));
  if (rc == 0) rc = write_all(fd, text);
  if (rc == 0 && durable) rc = fsync(fd);
  int err = errno;
  sigaction(SIGXFSZ, &old, nullptr);
  if (close(fd) != 0 && rc == 0) {
    rc = -1;
    err = errno;
  }
  if (rc == 0 && rename(tmp.c_str(), path) != 0) {
    rc = -1;
    err = errno;
  }
  if (rc != 0) {
    unlink(tmp.c_str());
    errno = err;
    return -1;
  }
  if (durable) sync_directory(tmp);
  return 0;
}

int check_replaceable(const char *path) {
  std::string tmp = std::string(path) + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return -1;
  close(fd);
  unlink(tmp.c_str());
  return 0;
}

}  // namespace kvl
