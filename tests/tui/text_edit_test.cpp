// The text input box's key rules, applied to the edit record alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tui/text_edit.h"

namespace {

using kvl::EditAction;
using kvl::Key;
using kvl::KeyPress;

TEST(TextEdit, KeysChangeTextCursorAndButton) {
  struct Case {
    const char *name;
    std::string text;
    size_t limit;
    std::vector<KeyPress> keys;
    std::string want_text;
    size_t want_pos;
    EditAction last;  // action of the last key
  } cases[] = {
      {"a resize keeps text and cursor", "abc", 10, {{Key::Left, 0}, {Key::Resize, 0}}, "abc", 2,
       EditAction::Resize},
      {"typing appends", "ab", 10, {{Key::Char, 'c'}, {Key::Char, ' '}}, "abc ", 4,
       EditAction::Redraw},
      {"typing inserts at the cursor", "abc", 10, {{Key::Left, 0}, {Key::Char, 'X'}}, "abXc", 3,
       EditAction::Redraw},
      {"typing at the bound stores nothing", "abcd", 5,
       {{Key::Char, 'x'}, {Key::Char, 'y'}}, "abcdx", 5, EditAction::Flash},
      {"inserting in the middle at the bound", "abc", 3, {{Key::Left, 0}, {Key::Char, 'x'}},
       "abc", 2, EditAction::Flash},
      {"backspace deletes before the cursor", "abc", 10, {{Key::Left, 0}, {Key::Backspace, 0}},
       "ac", 1, EditAction::Redraw},
      {"backspace at 0 flashes", "abc", 10,
       {{Key::Left, 0}, {Key::Left, 0}, {Key::Left, 0}, {Key::Backspace, 0}}, "abc", 0,
       EditAction::Flash},
      {"left at 0 flashes", "", 10, {{Key::Left, 0}}, "", 0, EditAction::Flash},
      {"right at the end flashes", "ab", 10, {{Key::Right, 0}}, "ab", 2, EditAction::Flash},
      {"right moves back", "ab", 10, {{Key::Left, 0}, {Key::Right, 0}}, "ab", 2,
       EditAction::Redraw},
      {"other keys flash", "ab", 10, {{Key::Other, 0}}, "ab", 2, EditAction::Flash},
      {"enter with Ok", "ab", 10, {{Key::Enter, 0}}, "ab", 2, EditAction::Accept},
      {"enter with Cancel", "ab", 10, {{Key::Tab, 0}, {Key::Enter, 0}}, "ab", 2,
       EditAction::Cancel},
      {"tab twice is Ok again", "ab", 10, {{Key::Tab, 0}, {Key::Tab, 0}, {Key::Enter, 0}},
       "ab", 2, EditAction::Accept},
      {"escape", "ab", 10, {{Key::Char, 'c'}, {Key::Escape, 0}}, "abc", 3, EditAction::Cancel},
  };
  for (const Case &c : cases) {
    kvl::TextEdit edit;
    edit.text = c.text;
    edit.pos = c.text.size();
    edit.limit = c.limit;
    EditAction last = EditAction::Redraw;
    for (const KeyPress &k : c.keys) last = kvl::edit_key(&edit, k);
    EXPECT_EQ(edit.text, c.want_text) << c.name;
    EXPECT_EQ(edit.pos, c.want_pos) << c.name;
    EXPECT_EQ(last, c.last) << c.name;
  }
}

TEST(TextEdit, KeysTheBoxDoesNotUseFlashAndChangeNothing) {
  for (Key key : {Key::Up, Key::Down, Key::PageUp, Key::PageDown, Key::Other}) {
    kvl::TextEdit edit;
    edit.text = "ab";
    edit.pos = 1;
    edit.limit = 10;
    EXPECT_EQ(kvl::edit_key(&edit, {key, 0}), EditAction::Flash) << static_cast<int>(key);
    EXPECT_EQ(edit.text, "ab");
    EXPECT_EQ(edit.pos, 1u);
    EXPECT_EQ(edit.ok_selected, 1);
  }
}

}  // namespace
