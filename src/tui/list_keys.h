// Key handling of the choice list: each key changes only the list's record
// (current item, first visible item, focus); drawing reads the record.
#pragma once

#include "tui/tui.h"

namespace kvl {

// The keys the choice list knows, after translation from the terminal.
enum class ListKey { Escape, Tab, Enter, Down, Up, PageDown, PageUp, Other };

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
ListAction list_key(ChoiceList *list, ListKey key, int *result);

}  // namespace kvl
