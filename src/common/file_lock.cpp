#include "common/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace kvl {

int take_file_lock(const char *path, long *holder) {
  *holder = 0;
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -2;
  if (flock(fd, LOCK_EX | LOCK_NB) < 0) {
    char text[32] = {};
    if (pread(fd, text, sizeof text - 1, 0) > 0) *holder = std::strtol(text, nullptr, 10);
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

int take_file_lock_waiting(const char *path, int wait_ms, long *holder) {
  const struct timespec pause = {0, 10 * 1000 * 1000};
  for (int waited = 0;; waited += 10) {
    int fd = take_file_lock(path, holder);
    if (fd != -1 || waited >= wait_ms) return fd;
    nanosleep(&pause, nullptr);
  }
}

}  // namespace kvl
