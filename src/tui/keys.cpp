#include "tui/keys.h"

#include <curses.h>

#include <cerrno>

#include "tui/draw.h"
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

KeyPress read_key(WINDOW *win) {
  int code;
  do {
    errno = 0;
    code = wgetch(win);
  } while (code == ERR && errno == EINTR);
  // A blocking read that still fails has met the end of the terminal's
  // input: no key will ever come, and a dialog waiting for one would spin.
  if (code == ERR) tui_fatal("End of terminal input");
  return translate_key(code);
}

}  // namespace kvl
