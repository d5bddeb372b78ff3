// The centred message box: a note left on screen, or a box with an Ok button.
#include <curses.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tui/draw.h"
#include "tui/tui.h"

namespace kvl {

namespace {

constexpr int BOX_WIDTH = 70;
constexpr int OK_WIDTH = 8;  // "[  Ok  ]"

// The box on a cleared screen, centred for the screen's size now. Returns
// the window, or nullptr when curses has no room for one.
WINDOW *draw_box(const char *text, int wait) {
  wclear(stdscr);
  wrefresh(stdscr);
  int height = wait ? 5 : 3;
  int width = std::min(BOX_WIDTH, COLS);
  WINDOW *win = open_window(height, width, (LINES - height) / 2, (COLS - width) / 2);
  if (!win) return nullptr;
  draw_frame(win);
  draw_centred(win, 1, text, 0);
  if (wait) {
    draw_separator(win, 2);
    // Column 31 of the full width; centred the same way in a narrower box.
    draw_button(win, "  Ok  ", 3, (getmaxx(win) - OK_WIDTH) / 2, 1);
  }
  wrefresh(win);
  return win;
}

}  // namespace

void message_box(const char *text, int wait) {
  if (!tui_active()) {
    std::fprintf(stderr, "%s\n", text);
    return;
  }
  WINDOW *win = draw_box(text, wait);
  if (!win) return;
  // Escape covers Ctrl-C, as in the other dialogs.
  while (wait) {
    Key key = read_key(win).key;
    if (key == Key::Enter || key == Key::Escape) break;
    if (key == Key::Resize) {
      delwin(win);
      win = draw_box(text, wait);
      if (!win) return;
    }
  }
  delwin(win);
}

}  // namespace kvl
