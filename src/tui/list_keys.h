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
};

// Sets first_row from the header count: 1 without headers, count + 2 with.
void list_layout(ChoiceList *list);
// Number of item rows R for the list's height, first row and buttons (may be
// 0 or less on a tiny screen).
int list_visible_rows(const ChoiceList *list);
// Applies key to the record; on ListAction::Return stores the code in *result.
// Besides the arrows and page keys, "+" and "-" move down and up, "N"/"n" and
// "P"/"p" a page down and up. Keys the list does not use give ListAction::None.
ListAction list_key(ChoiceList *list, KeyPress key, int *result);

}  // namespace kvl
