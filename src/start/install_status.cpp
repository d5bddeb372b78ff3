// The one-line status file DIR/.status ("AUDSTART", "AUDSTART_OK", "AUDSET",
// "AUDSET_OK").
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/common.h"
#include "start/start.h"

namespace kvl {

namespace {

// Writes all of text to fd. Returns 0, or -1 with errno set.
int write_all(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

// Writes the word into a temporary file beside path and renames it over path,
// so a reader never sees a half-written file. Returns 0, or -1 with errno set.
int replace_status_file(const std::string &path, const char *word) {
  std::string tmp = path + ".tmp." + std::to_string(getpid());
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  std::string text = std::string(word) + "\n";
  int rc = write_all(fd, text);
  if (close(fd) != 0 && rc == 0) rc = -1;
  if (rc == 0 && rename(tmp.c_str(), path.c_str()) == 0) return 0;
  int e = errno;
  unlink(tmp.c_str());
  errno = e;
  return -1;
}

}  // namespace

void write_install_status(const char *word) {
  std::string path = kvl_path(".status");
  if (replace_status_file(path, word) == 0) return;
  print_error(path.c_str());
  std::fprintf(stderr, "Cannot update install status\n");
}

}  // namespace kvl
