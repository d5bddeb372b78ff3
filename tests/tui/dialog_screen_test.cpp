// Message boxes, the text input box and the screen's end on a real terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo.h"

namespace {

using kvltest::Key;
using kvltest::Terminal;

TEST(MessageBox, WaitingBoxLayoutAndKeys) {
  struct Case { Key key; } cases[] = {{Key::Enter}, {Key::Escape}};
  for (const Case &c : cases) {
    Terminal t;
    ASSERT_TRUE(kvltest::start_demo_showing(t, {"message", "Card not found", "--wait"}, "[  Ok  ]"));
    // The cursor ends on the button's label, after everything is drawn.
    EXPECT_TRUE(t.wait_until([&] { return t.cursor() == kvltest::Pos{12, 5 + 34}; })) << t.screen();
    // 5 rows from row (24 - 5) / 2 = 9, 70 columns from column 5.
    EXPECT_EQ(t.cell(9, 5).ch, "┌") << t.screen();
    EXPECT_EQ(t.cell(9, 74).ch, "┐");
    EXPECT_EQ(t.cell(13, 5).ch, "└");
    EXPECT_EQ(t.row(8), "");  // background cleared
    // Text bold, after a blank at ((70 - 14) / 2) - 1 = 27 of the box.
    EXPECT_EQ(kvltest::column_of(t, 10, " Card not found"), 5 + 27);
    EXPECT_TRUE(t.cell(10, 5 + 28).bold);
    EXPECT_EQ(t.cell(11, 5).ch, "├");
    EXPECT_EQ(t.cell(11, 74).ch, "┤");
    EXPECT_EQ(kvltest::column_of(t, 12, "[  Ok  ]"), 5 + 31);
    EXPECT_TRUE(t.cell(12, 5 + 31).reverse);
    t.type("x");  // other keys do not close it
    t.press(c.key);
    EXPECT_TRUE(t.wait_for("Result closed")) << t.screen();
  }
}

// Ctrl-C leaves every dialog as Escape does.
TEST(MessageBox, CtrlCClosesTheWaitingBox) {
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo_showing(t, {"message", "Card not found", "--wait"}, "[  Ok  ]"));
  t.press(Key::CtrlC);
  EXPECT_TRUE(t.wait_for("Result closed")) << t.screen();
}

TEST(MessageBox, NoteIsThreeRowsAndReturnsAtOnce) {
  Terminal t;
  ASSERT_TRUE(t.start(kvltest::tuidemo({"message", "Please wait"})));
  ASSERT_TRUE(t.wait_until([&] { return t.cell(12, 5).ch == "└"; })) << t.screen();
  EXPECT_EQ(t.cell(10, 5).ch, "┌");
  EXPECT_EQ(kvltest::column_of(t, 11, " Please wait"), 5 + 28);
  EXPECT_TRUE(t.cell(11, 5 + 29).bold);
  ASSERT_TRUE(t.wait_exit());  // no key needed
  EXPECT_EQ(t.exit_status(), 0);
}

// Prompt of two lines: height 8 from row 8, width 78 from column 1.
TEST(TextInput, Layout) {
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo_showing(t, {"input", "Enter the path\nof the file", "--init", "abc"},
                                          "Cancel"));
  // Drawn when the cursor stands after the text in the field.
  ASSERT_TRUE(t.wait_until([&] { return t.cursor() == kvltest::Pos{12, 6}; })) << t.screen();
  EXPECT_EQ(t.cell(15, 1).ch, "└");
  EXPECT_EQ(t.cell(8, 1).ch, "┌");
  EXPECT_EQ(t.cell(8, 78).ch, "┐");
  EXPECT_EQ(kvltest::column_of(t, 8, " Text input "), 1 + 33);
  EXPECT_TRUE(t.cell(8, 1 + 34).bold);
  EXPECT_EQ(kvltest::column_of(t, 9, "Enter the path"), 3);
  EXPECT_EQ(kvltest::column_of(t, 10, "of the file"), 3);
  EXPECT_EQ(t.cell(11, 1).ch, "├");
  EXPECT_EQ(t.cell(13, 1).ch, "├");
  // The field: the text then reverse blanks, 74 columns from column 3.
  EXPECT_EQ(kvltest::column_of(t, 12, "abc"), 3);
  EXPECT_TRUE(t.cell(12, 3).reverse);
  EXPECT_TRUE(t.cell(12, 3 + 73).reverse);
  EXPECT_FALSE(t.cell(12, 3 + 74).reverse);
  // Buttons at w / 3 - 4 and (w / 3) * 2 - 6 of the box, Ok selected.
  EXPECT_EQ(kvltest::column_of(t, 14, "[  Ok  ]"), 1 + 22);
  EXPECT_EQ(kvltest::column_of(t, 14, "[  Cancel  ]"), 1 + 46);
  EXPECT_TRUE(t.cell(14, 1 + 22).reverse);
  EXPECT_FALSE(t.cell(14, 1 + 48).reverse);
  t.press(Key::Tab);
  EXPECT_TRUE(t.wait_until([&] { return t.cell(14, 1 + 48).reverse; })) << t.screen();
  EXPECT_FALSE(t.cell(14, 1 + 23).reverse);
  EXPECT_EQ(t.cursor(), (kvltest::Pos{12, 6}));  // the cursor stays in the field
}

// Keys sent to a box that starts with "abc"; then the result and the text.
TEST(TextInput, Editing) {
  struct Case {
    const char *name;
    std::vector<std::string> args;
    std::string keys;
    int flashes;
    std::string result;
  } cases[] = {
      {"Left and Backspace at 0 flash and change nothing", {}, "\x1bOD\x1bOD\x1bOD\x1bOD\x7f\r", 2,
       "Result 1 text [abc]"},
      {"Escape keeps the buffer after edits", {}, "xyz\x7f\x1b", 0, "Result 0 text [abc]"},
      {"Ctrl-C keeps the buffer", {}, "xyz\x03", 0, "Result 0 text [abc]"},
      {"Cancel keeps the buffer", {}, "xyz\t\r", 0, "Result 0 text [abc]"},
      {"insert and delete inside the text", {}, "\x1bOD\x1bODX\x7f\x7fY\r", 0, "Result 1 text [Ybc]"},
      {"Right at the end flashes", {}, "\x1bOC!\r", 1, "Result 1 text [abc!]"},
      {"typing at the buffer's bound flashes", {"--size", "5"}, "xyz\r", 2, "Result 1 text [abcx]"},
      {"other keys flash", {}, "\x1bOH\r", 1, "Result 1 text [abc]"},
  };
  for (const Case &c : cases) {
    Terminal t;
    std::vector<std::string> args = {"input", "Name", "--init", "abc"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ASSERT_TRUE(kvltest::start_demo_showing(t, args, "Cancel")) << c.name;
    t.send(c.keys);
    EXPECT_TRUE(t.wait_for(c.result)) << c.name << "\n" << t.screen();
    EXPECT_EQ(t.flashes(), c.flashes) << c.name;
  }
}

TEST(TextInput, LongTextScrollsInsideTheField) {
  std::string text = std::string(90, 'a') + "END";
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo_showing(t, {"input", "Name", "--init", text}, "END"));
  // Field on row 11 from column 3 to 76, the cursor just after it, the frame
  // at column 78 kept.
  EXPECT_TRUE(t.wait_until([&] { return t.cursor() == kvltest::Pos{11, 77}; })) << t.screen();
  EXPECT_EQ(kvltest::column_of(t, 11, "END"), 74) << t.screen();
  EXPECT_EQ(t.cell(11, 78).ch, "│");
  t.send("\r");
  // The note cuts the long result; the line printed after the screen ends has it whole.
  EXPECT_TRUE(t.wait_for(text.substr(text.size() - 23) + "]")) << t.screen();
}

TEST(Screen, EndWithoutStartDoesNothing) {
  Terminal t;
  ASSERT_TRUE(t.start(kvltest::tuidemo({"end"})));
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.exit_status(), 0);
  EXPECT_EQ(t.row(0), "ended");  // no newline printed before it
}

}  // namespace
