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

// Escape covers Ctrl-C, as in the other dialogs.
void wait_for_ok(WINDOW *win) {
  for (;;) {
    Key key = read_key(win).key;
    if (key == Key::Enter || key == Key::Escape) return;
  }
}

}  // namespace

void message_box(const char *text, int wait) {
  if (!tui_active()) {
    std::fprintf(stderr, "%s\n", text);
    return;
  }
  wclear(stdscr);
  wrefresh(stdscr);
  int height = wait ? 5 : 3;
  int width = std::min(BOX_WIDTH, COLS);
  WINDOW *win = newwin(height, width, std::max((LINES - height) / 2, 0), (COLS - width) / 2);
  if (!win) return;
  keypad(win, TRUE);
  draw_frame(win);
  draw_centred(win, 1, text, 0);
  if (wait) {
    draw_separator(win, 2);
    draw_button(win, "  Ok  ", 3, 31, 1);
  }
  wrefresh(win);
  if (wait) wait_for_ok(win);
  delwin(win);
}

}  // namespace kvl
