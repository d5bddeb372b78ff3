// Key handling of the text input box: each key changes only the edit record
// (text, cursor, selected button); drawing reads the record.
#pragma once

#include <cstddef>
#include <string>

#include "tui/keys.h"

namespace kvl {

struct TextEdit {
  std::string text;       // the edited copy of the caller's text
  std::size_t pos = 0;    // cursor position in text, 0 .. text.size()
  std::size_t limit = 0;  // longest text the caller's buffer holds
  int ok_selected = 1;    // 1: Ok, 0: Cancel
};

enum class EditAction {
  Redraw,  // text or cursor changed
  Buttons, // selected button changed
  Flash,   // nothing changed: refused key
  Accept,  // leave with result 1
  Cancel,  // leave with result 0
  Resize,  // the terminal has a new size: draw the box again, text and cursor kept
};

// Applies key to the record. Keys the box does not use (Up, Down, the page
// keys and Key::Other) flash.
EditAction edit_key(TextEdit *edit, KeyPress key);

}  // namespace kvl
