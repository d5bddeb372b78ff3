#include "common/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

namespace kvl {

namespace {

// The pid the holder wrote into the lock file, 0 when there is none.
long read_holder(int fd) {
  char text[32] = {};
  if (pread(fd, text, sizeof text - 1, 0) > 0) return std::strtol(text, nullptr, 10);
  return 0;
}

}  // namespace

int take_file_lock(const char *path, long *holder) {
  *holder = 0;
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -2;
  if (flock(fd, LOCK_EX | LOCK_NB) < 0) {
    *holder = read_holder(fd);
    close(fd);
    return -1;
  }
  // The pid only serves the message of the process that is refused.
  std::string pid = std::to_string(static_cast<long>(getpid())) + "\n";
  if (ftruncate(fd, 0) == 0) {
    ssize_t written = pwrite(fd, pid.data(), pid.size(), 0);
    (void)written;  // a lock without its pid still locks
  }
  return fd;
}

int file_lock_holder(const char *path, long *holder) {
  *holder = 0;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? 0 : -1;
  int held = 0;
  if (flock(fd, LOCK_EX | LOCK_NB) < 0) {
    held = 1;
    *holder = read_holder(fd);
  } else {
    flock(fd, LOCK_UN);
  }
  close(fd);
  return held;
}

int take_file_lock_waiting(const char *path, int wait_ms, long *holder) {
  const struct timespec pause = {0, 10 * 1000 * 1000};
  for (int waited = 0;; waited += 10) {
    int fd = take_file_lock(path, holder);
    if (fd != -1 || waited >= wait_ms) return fd;
    nanosleep(&pause, nullptr);
  }
}

}  // namespace kvl
