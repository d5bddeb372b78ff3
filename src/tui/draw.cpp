#include "tui/draw.h"

#include <algorithm>
#include <cstring>

namespace kvl {

// One screen column per byte: control characters (tabs too) show as blanks and
// bytes outside ASCII as "?", so a text never spills past its place.
chtype shown_char(char ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  if (c < 32) return ' ';
  if (c >= 127) return '?';
  return c;
}

void draw_frame(WINDOW *win) {
  werase(win);
  box(win, 0, 0);
}

void draw_separator(WINDOW *win, int row) {
  int width = getmaxx(win);
  mvwaddch(win, row, 0, ACS_LTEE);
  for (int c = 1; c < width - 1; c++) waddch(win, ACS_HLINE);
  waddch(win, ACS_RTEE);
}

void draw_button(WINDOW *win, const char *label, int row, int col, int selected) {
  int len = static_cast<int>(std::strlen(label));
  int lead = static_cast<int>(std::strspn(label, " "));
  chtype attr = selected ? A_REVERSE : A_NORMAL;
  mvwaddch(win, row, col, '[' | (selected ? A_REVERSE : A_DIM));
  for (int i = 0; i < len; i++) waddch(win, shown_char(label[i]) | attr);
  waddch(win, ']' | attr);
  wmove(win, row, col + 1 + (lead < len ? lead : 0));
}

void draw_centred(WINDOW *win, int row, const char *text, int trailing) {
  int width = getmaxx(win);
  int room = std::max(width - 4, 0);  // frame and the blanks around the text
  int len = std::min(static_cast<int>(std::strlen(text)), room);
  wattron(win, A_BOLD);
  mvwaddch(win, row, std::max((width - len) / 2 - 1, 0), ' ');
  for (int i = 0; i < len; i++) waddch(win, shown_char(text[i]));
  if (trailing) waddch(win, ' ');
  wattroff(win, A_BOLD);
}

int draw_text(WINDOW *win, int row, int col, const char *text, int max) {
  int room = getmaxx(win) - 1 - col;
  int len = static_cast<int>(std::strcspn(text, "\n"));
  len = std::max(std::min({len, max, room}), 0);
  wmove(win, row, col);
  for (int i = 0; i < len; i++) waddch(win, shown_char(text[i]));
  return len;
}

}  // namespace kvl
