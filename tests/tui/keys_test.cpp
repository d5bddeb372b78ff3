// Translation of curses key codes into the keys every dialog knows.
#include <gtest/gtest.h>

#include <curses.h>

#include "tui/keys.h"

namespace {

using kvl::Key;

TEST(TranslateKey, CodesToKeys) {
  struct Case {
    const char *name;
    int code;
    Key key;
    char ch;
  } cases[] = {
      {"Escape", 27, Key::Escape, 0},
      {"Ctrl-C, as raw mode delivers it", 3, Key::Escape, 0},
      {"ERR: the terminal is gone", ERR, Key::Escape, 0},
      {"Tab", '\t', Key::Tab, 0},
      {"Enter", '\n', Key::Enter, 0},
      {"Return", '\r', Key::Enter, 0},
      {"keypad Enter", KEY_ENTER, Key::Enter, 0},
      {"Up", KEY_UP, Key::Up, 0},
      {"Down", KEY_DOWN, Key::Down, 0},
      {"Left", KEY_LEFT, Key::Left, 0},
      {"Right", KEY_RIGHT, Key::Right, 0},
      {"Page Up", KEY_PPAGE, Key::PageUp, 0},
      {"Page Down", KEY_NPAGE, Key::PageDown, 0},
      {"Backspace key", KEY_BACKSPACE, Key::Backspace, 0},
      {"DEL", 127, Key::Backspace, 0},
      {"Ctrl-H", 8, Key::Backspace, 0},
      {"blank, the first printable", ' ', Key::Char, ' '},
      {"tilde, the last printable", '~', Key::Char, '~'},
      {"letter", 'n', Key::Char, 'n'},   // the list's own meanings of n, p,
      {"sign", '+', Key::Char, '+'},     // + and - are the list's business
      {"digit", '7', Key::Char, '7'},
      {"NUL", 0, Key::Other, 0},
      {"Ctrl-D", 4, Key::Other, 0},
      {"last control character", 31, Key::Other, 0},
      {"byte above ASCII", 0xe9, Key::Other, 0},
      {"Home", KEY_HOME, Key::Other, 0},
      {"Delete", KEY_DC, Key::Other, 0},
      {"F1", KEY_F(1), Key::Other, 0},
      {"terminal resized", KEY_RESIZE, Key::Resize, 0},
  };
  for (const Case &c : cases) {
    kvl::KeyPress k = kvl::translate_key(c.code);
    EXPECT_EQ(k.key, c.key) << c.name;
    EXPECT_EQ(k.ch, c.ch) << c.name;
  }
}

}  // namespace
