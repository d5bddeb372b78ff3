// The text input box: prompt lines, a one-line edit field, Ok and Cancel.
#include <curses.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tui/draw.h"
#include "tui/text_edit.h"
#include "tui/tui.h"

namespace kvl {

namespace {

struct InputBox {
  WINDOW *win;
  int height;
  int width;
  std::size_t offset;  // first character shown in the field
};

std::vector<std::string> split_lines(const char *prompt) {
  std::vector<std::string> lines;
  const char *p = prompt;
  for (;;) {
    const char *nl = std::strchr(p, '\n');
    lines.emplace_back(p, nl ? nl - p : std::strlen(p));
    if (!nl) return lines;
    p = nl + 1;
  }
}

// The field shows width - 4 characters; a longer text scrolls so that the
// cursor stays inside the field.
void draw_field(InputBox *box, const TextEdit &edit) {
  std::size_t shown = static_cast<std::size_t>(std::max(box->width - 4, 1));
  if (edit.pos < box->offset) box->offset = edit.pos;
  if (edit.pos - box->offset > shown) box->offset = edit.pos - shown;
  int row = box->height - 4;
  mvwaddch(box->win, row, 1, ' ');
  wattrset(box->win, A_REVERSE);
  for (std::size_t i = 0; i < shown; i++) {
    std::size_t at = box->offset + i;
    waddch(box->win, at < edit.text.size() ? shown_char(edit.text[at]) : ' ');
  }
  wattrset(box->win, A_NORMAL);
  wmove(box->win, row, 2 + static_cast<int>(edit.pos - box->offset));
}

void draw_buttons(const InputBox &box, const TextEdit &edit) {
  int row = box.height - 2;
  draw_button(box.win, "  Ok  ", row, box.width / 3 - 4, edit.ok_selected);
  draw_button(box.win, "  Cancel  ", row, (box.width / 3) * 2 - 6, !edit.ok_selected);
}

void draw_box(InputBox *box, const std::vector<std::string> &lines, int n, const TextEdit &edit) {
  draw_frame(box->win);
  draw_centred(box->win, 0, "Text input", 1);
  for (int i = 0; i < n; i++) {
    mvwaddch(box->win, i + 1, 1, ' ');
    draw_text(box->win, i + 1, 2, lines[i].c_str(), box->width - 2);
  }
  draw_separator(box->win, box->height - 5);
  draw_separator(box->win, box->height - 3);
  draw_buttons(*box, edit);
  draw_field(box, edit);
  wrefresh(box->win);
}

}  // namespace

int text_input(const char *prompt, char *buffer, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::string> lines = split_lines(prompt);
  int n = static_cast<int>(lines.size());
  int height = n + 6;
  if (height > LINES) {
    height = LINES;
    n = std::max(LINES - 6, 0);
  }
  int width = COLS - 2;
  WINDOW *win = newwin(height, width, std::max((LINES - height) / 2, 0), (COLS - width) / 2);
  if (!win) return 0;
  keypad(win, TRUE);

  TextEdit edit;
  edit.limit = size - 1;
  edit.text.assign(buffer, strnlen(buffer, edit.limit));
  edit.pos = edit.text.size();
  InputBox box{win, height, width, 0};
  draw_box(&box, lines, n, edit);

  EditAction action;
  for (;;) {
    action = edit_key(&edit, read_key(win));
    if (action == EditAction::Accept || action == EditAction::Cancel) break;
    if (action == EditAction::Flash) {
      flash();
      continue;
    }
    if (action == EditAction::Buttons) draw_buttons(box, edit);
    draw_field(&box, edit);
    wrefresh(win);
  }
  wclear(win);
  wrefresh(win);
  delwin(win);
  if (action == EditAction::Cancel) return 0;
  std::memcpy(buffer, edit.text.data(), edit.text.size());
  buffer[edit.text.size()] = '\0';
  return 1;
}

}  // namespace kvl
