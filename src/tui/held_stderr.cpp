#include "tui/held_stderr.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kvl {

namespace {

// The real standard error and the file that stands in for it; -1 when not
// holding. Plain ints: the signal handlers read them.
volatile int g_real = -1;
volatile int g_held = -1;

bool same_terminal(int a, int b) {
  struct stat sa, sb;
  if (!isatty(a) || fstat(a, &sa) != 0 || fstat(b, &sb) != 0) return false;
  return S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

// The screen draws on standard output.
bool stderr_is_screen() { return same_terminal(STDERR_FILENO, STDOUT_FILENO); }

void write_all(int fd, const char *p, ssize_t n) {
  while (n > 0) {
    ssize_t w = write(fd, p, static_cast<size_t>(n));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    p += w;
    n -= w;
  }
}

}  // namespace

int hold_stderr() {
  if (g_held >= 0 || !stderr_is_screen()) return g_held >= 0;
  std::FILE *tmp = std::tmpfile();
  if (!tmp) return 0;
  int held = fcntl(fileno(tmp), F_DUPFD_CLOEXEC, 3);
  std::fclose(tmp);  // the duplicate keeps the unlinked file
  int real = held >= 0 ? fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3) : -1;
  if (real < 0) {
    if (held >= 0) close(held);
    return 0;
  }
  std::fflush(stderr);
  if (dup2(held, STDERR_FILENO) < 0) {
    close(held);
    close(real);
    return 0;
  }
  g_real = real;
  g_held = held;
  return 1;
}

void release_stderr() {
  int held = g_held, real = g_real;
  if (held < 0) return;
  g_held = -1;
  g_real = -1;
  dup2(real, STDERR_FILENO);
  close(real);
  char buf[4096];
  if (lseek(held, 0, SEEK_SET) == 0) {
    for (;;) {
      ssize_t n = read(held, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      write_all(STDERR_FILENO, buf, n);
    }
  }
  close(held);
}

int tui_stderr_on_screen() { return g_held < 0 && stderr_is_screen(); }

}  // namespace kvl
