#include "tui/keys.h"

#include <curses.h>

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "tui/draw.h"
#include "tui/resize_signal.h"
#include "tui/tui.h"

namespace kvl {

namespace {

constexpr int CODE_CTRL_C = 3;  // arrives as a key: the screen runs in raw mode
constexpr int CODE_ESCAPE = 27;
constexpr int CODE_DEL = 127;
constexpr int CODE_CTRL_H = 8;

}  // namespace

KeyPress translate_key(int code) {
  switch (code) {
    case CODE_ESCAPE: case CODE_CTRL_C: case ERR:  // ERR: the terminal is gone
      return {Key::Escape, 0};
    case '\t':
      return {Key::Tab, 0};
    case '\n': case '\r': case KEY_ENTER:
      return {Key::Enter, 0};
    case KEY_UP:
      return {Key::Up, 0};
    case KEY_DOWN:
      return {Key::Down, 0};
    case KEY_LEFT:
      return {Key::Left, 0};
    case KEY_RIGHT:
      return {Key::Right, 0};
    case KEY_PPAGE:
      return {Key::PageUp, 0};
    case KEY_NPAGE:
      return {Key::PageDown, 0};
    case KEY_BACKSPACE: case CODE_DEL: case CODE_CTRL_H:
      return {Key::Backspace, 0};
    case KEY_RESIZE:
      return {Key::Resize, 0};
    default:
      if (code >= 32 && code <= 126) return {Key::Char, static_cast<char>(code)};
      return {Key::Other, 0};
  }
}

namespace {

// Keys are taken without blocking in curses: the wait is a poll on the
// terminal and the resize signal's pipe, so a resize is never missed.
// Returns 1 when the terminal has input (or has hung up), 0 after a signal.
int wait_for_input() {
  struct pollfd p[2] = {{STDIN_FILENO, POLLIN, 0}, {resize_signal_fd(), POLLIN, 0}};
  int n = p[1].fd >= 0 ? 2 : 1;
  if (poll(p, n, -1) < 0) return 0;
  return p[0].revents != 0;
}

}  // namespace

KeyPress read_key(WINDOW *win) {
  nodelay(win, TRUE);
  bool announced = false;  // the terminal said it has input
  for (;;) {
    if (take_resize()) return {Key::Resize, 0};
    errno = 0;
    int code = wgetch(win);
    if (code != ERR) return translate_key(code);
    // Input announced and none to be had is the end of the terminal's
    // input: no key will ever come, and a dialog waiting for one would spin.
    if (announced && errno != EINTR) tui_fatal("End of terminal input");
    announced = wait_for_input() == 1;
  }
}

}  // namespace kvl
