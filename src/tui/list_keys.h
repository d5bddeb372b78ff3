// Key handling of the choice list: each key changes only the list's record
// (current item, first visible item, focus); drawing reads the record.
#pragma once

#include "tui/keys.h"
#include "tui/tui.h"

namespace kvl {

// What list_run does after a key.
enum class ListAction {
  None,         // nothing changed
  RedrawItems,  // current or first visible item changed
  RedrawAll,    // focus changed: buttons and items
  Beep,         // Enter on an unselectable line
  Return,       // leave list_run with *result
  Resize,       // the terminal has a new size: lay out again and redraw all
};

// Sets first_row from the header count: 1 without headers, count + 2 with.
// When the height leaves no item row under all the header lines, only as many
// header lines are shown as leave one (first_row 1 when none fits).
void list_layout(ChoiceList *list);
// Number of header lines shown on top for the list's layout.
int list_headers_shown(const ChoiceList *list);
// Number of item rows R for the list's height, first row and buttons (may be
// 0 or less on a tiny screen).
int list_visible_rows(const ChoiceList *list);
// Lays the list out for a screen of height x width. The current item and the
// focus stay; so does the first visible item anchor, the one the keys last
// set, as far as the current item stays visible, so that going back to an
// earlier size gives the earlier screen.
void list_resize(ChoiceList *list, int height, int width, int anchor);
// Applies key to the record; on ListAction::Return stores the code in *result.
// Besides the arrows and page keys, "+" and "-" move down and up, "N"/"n" and
// "P"/"p" a page down and up. Keys the list does not use give ListAction::None.
ListAction list_key(ChoiceList *list, KeyPress key, int *result);

}  // namespace kvl
