#include "tui/draw.h"

#include <algorithm>
#include <cstring>

namespace kvl {

namespace {

// An inner cell: not on the frame and not outside the window.
bool inner(WINDOW *win, int row, int col) {
  return row >= 1 && row <= getmaxy(win) - 2 && col >= 1 && col <= getmaxx(win) - 2;
}

}  // namespace

// One screen column per byte: control characters (tabs too) show as blanks and
// bytes outside ASCII as "?", so a text never spills past its place.
chtype shown_char(char ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  if (c < 32) return ' ';
  if (c >= 127) return '?';
  return c;
}

WINDOW *open_window(int height, int width, int row, int col) {
  height = std::clamp(height, 1, std::max(LINES, 1));
  width = std::clamp(width, 1, std::max(COLS, 1));
  row = std::clamp(row, 0, std::max(LINES - height, 0));
  col = std::clamp(col, 0, std::max(COLS - width, 0));
  WINDOW *win = newwin(height, width, row, col);
  if (win) keypad(win, TRUE);
  return win;
}

void draw_frame(WINDOW *win) {
  werase(win);
  box(win, 0, 0);
}

void draw_separator(WINDOW *win, int row) {
  int width = getmaxx(win);
  if (row < 1 || row > getmaxy(win) - 2) return;  // never over the frame's top or bottom
  mvwaddch(win, row, 0, ACS_LTEE);
  for (int c = 1; c < width - 1; c++) waddch(win, ACS_HLINE);
  waddch(win, ACS_RTEE);
}

void draw_button(WINDOW *win, const char *label, int row, int col, int selected) {
  int len = static_cast<int>(std::strlen(label));
  int lead = static_cast<int>(std::strspn(label, " "));
  chtype attr = selected ? A_REVERSE : A_NORMAL;
  auto put = [&](int c, chtype ch) {
    if (inner(win, row, c)) mvwaddch(win, row, c, ch);
  };
  put(col, '[' | (selected ? A_REVERSE : A_DIM));
  for (int i = 0; i < len; i++) put(col + 1 + i, shown_char(label[i]) | attr);
  put(col + 1 + len, ']' | attr);
  int cursor = std::clamp(col + 1 + (lead < len ? lead : 0), 1, std::max(getmaxx(win) - 2, 1));
  if (row >= 1 && row <= getmaxy(win) - 2) wmove(win, row, cursor);
}

void draw_centred(WINDOW *win, int row, const char *text, int trailing) {
  int width = getmaxx(win);
  int room = width - 4;  // frame and the blanks around the text
  if (room <= 0) return;
  int len = std::min(static_cast<int>(std::strlen(text)), room);
  wattron(win, A_BOLD);
  mvwaddch(win, row, std::max((width - len) / 2 - 1, 0), ' ');
  for (int i = 0; i < len; i++) waddch(win, shown_char(text[i]));
  if (trailing) waddch(win, ' ');
  wattroff(win, A_BOLD);
}

int draw_text(WINDOW *win, int row, int col, const char *text, int max) {
  if (row < 1 || row > getmaxy(win) - 2) return 0;
  int room = getmaxx(win) - 1 - col;
  int len = static_cast<int>(std::strcspn(text, "\n"));
  len = std::max(std::min({len, max, room}), 0);
  wmove(win, row, col);
  for (int i = 0; i < len; i++) waddch(win, shown_char(text[i]));
  return len;
}

}  // namespace kvl
