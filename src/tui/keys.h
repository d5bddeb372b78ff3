// The keys the dialogs know, translated in one place from curses key codes, so
// that every dialog sees the same Escape, Enter, arrows and so on. curses.h
// stays out of this header (its macros, such as erase(), break ordinary code
// that includes it); read_key in draw.h reads a key from a window.
#pragma once

namespace kvl {

enum class Key {
  Escape,     // Escape, Ctrl-C, or the terminal is gone
  Tab,
  Enter,      // Enter, Return or the keypad Enter key
  Up,
  Down,
  Left,
  Right,
  PageUp,
  PageDown,
  Backspace,  // Backspace or DEL
  Char,       // a printable ASCII character, in KeyPress::ch
  Resize,     // the terminal changed its size: LINES and COLS are the new size
  Other,
};

struct KeyPress {
  Key key;
  char ch;  // the character for Key::Char, 0 otherwise
};

// Translates a key code as wgetch returns it with keypad translation on.
KeyPress translate_key(int code);

}  // namespace kvl
