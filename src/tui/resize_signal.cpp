#include "tui/resize_signal.h"

#include <curses.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace kvl {

namespace {

int g_pipe[2] = {-1, -1};

void on_resize(int) {
  int saved = errno;
  char c = 'w';
  (void)!write(g_pipe[1], &c, 1);  // a full pipe already says it
  errno = saved;
}

void drain() {
  char buf[64];
  while (read(g_pipe[0], buf, sizeof buf) > 0) {
  }
}

}  // namespace

int catch_resize_signal() {
  if (g_pipe[0] >= 0) return 0;
  if (pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
    return -1;
  }
  struct sigaction sa = {};
  sa.sa_handler = on_resize;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  return sigaction(SIGWINCH, &sa, nullptr);
}

int resize_signal_fd() { return g_pipe[0]; }

int take_resize() {
  if (g_pipe[0] < 0) return 0;
  drain();
  struct winsize ws = {};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0 || ws.ws_row == 0 || ws.ws_col == 0) return 0;
  if (ws.ws_row == LINES && ws.ws_col == COLS) return 0;
  resize_term(ws.ws_row, ws.ws_col);
  return 1;
}

}  // namespace kvl
