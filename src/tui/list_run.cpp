// The choice list on screen: drawing from the record, and the key loop.
#include <curses.h>

#include <algorithm>
#include <cstring>

#include "tui/draw.h"
#include "tui/held_stderr.h"
#include "tui/list_keys.h"
#include "tui/tui.h"

namespace kvl {

namespace {

constexpr int ITEM_SHOWN = 77;    // item text cut for display
constexpr int HEADER_SHOWN = 78;  // header line cut for display

int button_column(const ChoiceList *list, int i) {
  int n = list->button_count;
  return (list->width / (n + 1)) * (i + 1) - static_cast<int>(std::strlen(list->buttons[i].label)) / 2;
}

// The current item is highlighted while the focus is on the list or on a
// button that does not choose by itself.
bool item_focused(const ChoiceList *list) {
  return list->focus == 0 || list->buttons[list->focus - 1].code == LIST_ESCAPE;
}

void draw_buttons(WINDOW *win, const ChoiceList *list) {
  if (list->button_count == 0 || list->height < 4) return;
  draw_separator(win, list->height - 3);
  // The selected button last: where a narrow screen makes buttons overlap,
  // the one Enter would choose is the one that shows.
  for (int pass = 0; pass < 2; pass++)
    for (int i = 0; i < list->button_count; i++)
      if ((list->focus == i + 1) == (pass == 1))
        draw_button(win, list->buttons[i].label, list->height - 2, button_column(list, i),
                    list->focus == i + 1);
}

void draw_headers(WINDOW *win, const ChoiceList *list) {
  int shown = list_headers_shown(list);
  if (shown == 0) return;
  draw_separator(win, list->first_row - 1);
  for (int i = 0; i < shown; i++) {
    mvwaddch(win, i + 1, 1, ' ');
    draw_text(win, i + 1, 2, list->headers[i], HEADER_SHOWN);
  }
}

void draw_item(WINDOW *win, const ChoiceList *list, int index, int row) {
  const ChoiceItem &item = list->items[index];
  chtype attr = A_BOLD;
  if (item.code == LIST_ESCAPE) attr = A_NORMAL;
  else if (index == list->current && item_focused(list)) attr = A_REVERSE;
  wattrset(win, attr);
  mvwaddch(win, row, 1, ' ');
  int len = draw_text(win, row, 2, item.text, ITEM_SHOWN);
  for (int c = 2 + len; c <= list->width - 2; c++) waddch(win, ' ');
  wattrset(win, A_NORMAL);
}

void draw_items(WINDOW *win, const ChoiceList *list) {
  int rows = std::min(list->item_count, list_visible_rows(list));
  for (int k = 0; k < rows && list->first_visible + k < list->item_count; k++)
    draw_item(win, list, list->first_visible + k, list->first_row + k);
}

void place_cursor(WINDOW *win, const ChoiceList *list) {
  if (item_focused(list)) {
    if (list_visible_rows(list) < 1) return;  // no item row on this screen
    wmove(win, list->first_row + list->current - list->first_visible, 2);
  } else {
    int i = list->focus - 1;
    const char *label = list->buttons[i].label;
    int lead = static_cast<int>(std::strspn(label, " "));
    if (label[lead] == '\0') lead = 0;
    wmove(win, list->height - 2, button_column(list, i) + 1 + lead);
  }
}

void draw_all(WINDOW *win, const ChoiceList *list) {
  draw_frame(win);
  if (list->title[0]) draw_centred(win, 0, list->title, 1);
  draw_buttons(win, list);
  draw_headers(win, list);
  draw_items(win, list);
  place_cursor(win, list);
  wrefresh(win);
}

// Puts the current item inside the list and, when it lies below the first
// screenful, scrolls so that it is visible.
void settle_current(ChoiceList *list) {
  list->current = std::clamp(list->current, 0, std::max(list->item_count - 1, 0));
  int rows = std::max(list_visible_rows(list), 1);
  if (list->current >= rows)
    list->first_visible = std::clamp(list->current - rows / 2, 0, std::max(list->item_count - rows, 0));
}

}  // namespace

int list_run(ChoiceList *list) {
  WINDOW *win = open_window(LINES, COLS, 0, 0);
  if (!win) return LIST_ESCAPE;
  list->height = getmaxy(win);
  list->width = getmaxx(win);
  list->first_visible = 0;
  list->focus = 0;
  list_layout(list);
  settle_current(list);
  // Only a standard error that writes straight onto the screen can have put
  // lines there that curses does not know of; they must not stay.
  if (tui_stderr_on_screen()) clearok(win, TRUE);
  draw_all(win, list);
  int anchor = list->first_visible;  // as the keys left it, whatever the resizes did
  int result = LIST_ESCAPE;
  for (;;) {
    ListAction action = list_key(list, read_key(win), &result);
    if (action == ListAction::Return) break;
    if (action == ListAction::Resize) {
      wresize(win, std::max(LINES, 1), std::max(COLS, 1));
      list_resize(list, getmaxy(win), getmaxx(win), anchor);
      clearok(win, TRUE);  // what the terminal shows after a resize is unknown
      draw_all(win, list);
      continue;
    }
    anchor = list->first_visible;
    if (action == ListAction::Beep) beep();
    if (action == ListAction::RedrawAll) draw_buttons(win, list);
    if (action == ListAction::RedrawAll || action == ListAction::RedrawItems) {
      draw_items(win, list);
      place_cursor(win, list);
      wrefresh(win);
    }
  }
  delwin(win);
  return result;
}

}  // namespace kvl
