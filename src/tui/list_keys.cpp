#include "tui/list_keys.h"

#include <algorithm>

namespace kvl {

void list_layout(ChoiceList *list) {
  // With s header lines shown, R = height - s - 5 (+ 2 without buttons).
  int most = list->height - 6 + (list->button_count == 0 ? 2 : 0);
  int shown = std::min(list->header_count, most);
  list->first_row = shown > 0 ? shown + 2 : 1;
}

int list_headers_shown(const ChoiceList *list) {
  return list->first_row > 1 ? std::min(list->first_row - 2, list->header_count) : 0;
}

int list_visible_rows(const ChoiceList *list) {
  int rows = list->height - list->first_row - 3;
  if (list->button_count == 0) rows += 2;
  return rows;
}

namespace {

// Keeps first_visible within [0, count - R] after a downward move, >= 0 always.
void clamp_first(ChoiceList *list, int rows, bool downward) {
  if (downward) list->first_visible = std::min(list->first_visible, list->item_count - rows);
  list->first_visible = std::max(list->first_visible, 0);
}

ListAction enter(ChoiceList *list, int *result) {
  if (list->focus > 0) {
    int code = list->buttons[list->focus - 1].code;
    if (code != LIST_ESCAPE) {
      *result = code;
      return ListAction::Return;
    }
  }
  if (list->item_count == 0) {  // nothing to choose: same as Escape
    *result = LIST_ESCAPE;
    return ListAction::Return;
  }
  int code = list->items[list->current].code;
  if (code == LIST_ESCAPE) return ListAction::Beep;
  *result = code;
  return ListAction::Return;
}

// The list's letter and sign keys, as the keys they stand for.
Key list_meaning(KeyPress press) {
  if (press.key != Key::Char) return press.key;
  switch (press.ch) {
    case '+': return Key::Down;
    case '-': return Key::Up;
    case 'N': case 'n': return Key::PageDown;
    case 'P': case 'p': return Key::PageUp;
    default: return Key::Other;
  }
}

}  // namespace

void list_resize(ChoiceList *list, int height, int width, int anchor) {
  list->height = height;
  list->width = width;
  list_layout(list);
  int rows = std::max(list_visible_rows(list), 1);
  int first = anchor;
  if (list->current < first) first = list->current;
  else if (list->current >= first + rows) first = list->current - rows + 1;
  // A taller screen shows the items above rather than empty rows below.
  first = std::min(first, list->item_count - rows);
  list->first_visible = std::max(first, 0);
}

ListAction list_key(ChoiceList *list, KeyPress press, int *result) {
  // A screen too small for any row still moves by one item at a time.
  int rows = std::max(list_visible_rows(list), 1);
  int half = rows / 2;
  int last = list->item_count - 1;
  switch (list_meaning(press)) {
    case Key::Escape:
      *result = LIST_ESCAPE;
      return ListAction::Return;
    case Key::Resize:
      return ListAction::Resize;
    case Key::Tab:
      list->focus = (list->focus + 1) % (list->button_count + 1);
      return ListAction::RedrawAll;
    case Key::Enter:
      return enter(list, result);
    case Key::Down:
      if (list->current >= last) return ListAction::None;
      list->current++;
      // At least one step, so that a one-row list still follows the current item.
      if (list->current >= list->first_visible + rows) list->first_visible += std::max(half, 1);
      clamp_first(list, rows, true);
      return ListAction::RedrawItems;
    case Key::Up:
      if (list->current <= 0) return ListAction::None;
      list->current--;
      if (list->current < list->first_visible) list->first_visible = list->current - half;
      clamp_first(list, rows, false);
      return ListAction::RedrawItems;
    case Key::PageDown:
      if (list->current >= last) return ListAction::None;
      list->current = std::min(list->current + rows, last);
      list->first_visible += rows;
      clamp_first(list, rows, true);
      return ListAction::RedrawItems;
    case Key::PageUp:
      if (list->current < 2) return ListAction::None;
      list->current = std::max(list->current - rows, 0);
      list->first_visible -= rows;
      clamp_first(list, rows, false);
      return ListAction::RedrawItems;
    default:  // Left, Right, Backspace, other characters
      break;
  }
  return ListAction::None;
}

}  // namespace kvl
