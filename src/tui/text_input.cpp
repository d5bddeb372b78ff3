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
  if (row < 1) return;  // a screen too low for the field
  mvwaddch(box->win, row, 1, ' ');
  wattrset(box->win, A_REVERSE);
  for (std::size_t i = 0; i < shown && 2 + static_cast<int>(i) <= box->width - 2; i++) {
    std::size_t at = box->offset + i;
    waddch(box->win, at < edit.text.size() ? shown_char(edit.text[at]) : ' ');
  }
  wattrset(box->win, A_NORMAL);
  wmove(box->win, row, 2 + static_cast<int>(edit.pos - box->offset));
}

// The selected button last, so that it shows where a narrow box makes the
// two overlap.
void draw_buttons(const InputBox &box, const TextEdit &edit) {
  int row = box.height - 2;
  auto ok = [&] { draw_button(box.win, "  Ok  ", row, box.width / 3 - 4, edit.ok_selected); };
  auto cancel = [&] {
    draw_button(box.win, "  Cancel  ", row, (box.width / 3) * 2 - 6, !edit.ok_selected);
  };
  if (edit.ok_selected) {
    cancel();
    ok();
  } else {
    ok();
    cancel();
  }
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

// The box for the screen's size now, centred: height n + 6 (at most the
// screen's), width COLS - 2. Returns false when curses has no room for it.
bool open_box(InputBox *box, int lines) {
  int height = std::min(lines + 6, LINES);
  int width = COLS - 2;
  box->win = open_window(height, width, (LINES - height) / 2, (COLS - width) / 2);
  if (!box->win) return false;
  box->height = getmaxy(box->win);
  box->width = getmaxx(box->win);
  return true;
}

// Prompt lines that fit: all, or height - 6.
int prompt_rows(const InputBox &box, int lines) { return std::min(lines, std::max(box.height - 6, 0)); }

}  // namespace

int text_input(const char *prompt, char *buffer, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::string> lines = split_lines(prompt);
  int n = static_cast<int>(lines.size());
  InputBox box{nullptr, 0, 0, 0};
  if (!open_box(&box, n)) return 0;

  TextEdit edit;
  edit.limit = size - 1;
  edit.text.assign(buffer, strnlen(buffer, edit.limit));
  edit.pos = edit.text.size();
  draw_box(&box, lines, prompt_rows(box, n), edit);
  std::size_t anchor = box.offset;  // the field's scroll as the keys left it

  EditAction action;
  for (;;) {
    action = edit_key(&edit, read_key(box.win));
    if (action == EditAction::Accept || action == EditAction::Cancel) break;
    if (action == EditAction::Resize) {
      // The dialog under the box cannot redraw at the new size: the box
      // stands alone on a cleared screen.
      delwin(box.win);
      wclear(stdscr);
      wrefresh(stdscr);
      if (!open_box(&box, n)) return 0;
      box.offset = anchor;
      draw_box(&box, lines, prompt_rows(box, n), edit);
      continue;
    }
    if (action == EditAction::Flash) {
      flash();
      continue;
    }
    if (action == EditAction::Buttons) draw_buttons(box, edit);
    box.offset = anchor;
    draw_field(&box, edit);
    anchor = box.offset;
    wrefresh(box.win);
  }
  wclear(box.win);
  wrefresh(box.win);
  delwin(box.win);
  if (action == EditAction::Cancel) return 0;
  std::memcpy(buffer, edit.text.data(), edit.text.size());
  buffer[edit.text.size()] = '\0';
  return 1;
}

}  // namespace kvl
