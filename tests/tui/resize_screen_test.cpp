// Dialogs on a terminal whose window the user resizes: each redraws at the
// new size with a whole frame, keeps what the user had chosen or typed, and
// comes back exactly as it was at the size it started with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo.h"

namespace {

using kvltest::Key;
using kvltest::Pos;
using kvltest::Terminal;

struct Box {
  int top, left, bottom, right;
};

// The frame of box is whole: its corners, its side columns (with the tees of
// separators) and its bottom row; the top row may hold a title.
bool frame_whole(const Terminal &t, Box b) {
  if (t.cell(b.top, b.left).ch != "┌" || t.cell(b.top, b.right).ch != "┐" ||
      t.cell(b.bottom, b.left).ch != "└" || t.cell(b.bottom, b.right).ch != "┘")
    return false;
  for (int r = b.top + 1; r < b.bottom; r++) {
    std::string l = t.cell(r, b.left).ch, rr = t.cell(r, b.right).ch;
    if ((l != "│" && l != "├") || (rr != "│" && rr != "┤")) return false;
  }
  for (int c = b.left + 1; c < b.right; c++)
    if (t.cell(b.bottom, c).ch != "─") return false;
  return true;
}

Box whole_screen(const Terminal &t) { return {0, 0, t.rows() - 1, t.cols() - 1}; }

// The row of the highlighted item, or -1.
int highlighted_row(const Terminal &t, const std::string &text) {
  for (int r = 1; r < t.rows() - 1; r++)
    if (t.cell(r, 2).reverse && t.row(r).find(text) != std::string::npos) return r;
  return -1;
}

TEST(Resize, ListFollowsTheTerminalAndComesBack) {
  Terminal t(25, 80);
  ASSERT_TRUE(kvltest::start_demo(t, {"list", "--title", "Resize test", "--header", "A header line",
                                      "--items", "30", "--button", "  Ok  :use", "--button",
                                      " Cancel :-1"}));
  t.press(Key::Down, 5);
  ASSERT_TRUE(t.wait_until([&] { return highlighted_row(t, "Item 5 ") == 8; })) << t.screen();
  std::string before = t.snapshot();

  struct Size { int rows, cols; } sizes[] = {{40, 120}, {12, 40}, {6, 20}};
  for (Size s : sizes) {
    t.resize(s.rows, s.cols);
    EXPECT_TRUE(t.wait_until([&] { return frame_whole(t, whole_screen(t)) && highlighted_row(t, "Item 5 ") > 0; }))
        << s.rows << "x" << s.cols << "\n" << t.screen();
  }
  // 40x120: every item shows; 6x20: no header line, two item rows, the
  // current one on the second.
  t.resize(40, 120);
  EXPECT_TRUE(t.wait_until([&] { return t.contains("Item 29") && t.contains("Item 0 "); })) << t.screen();
  t.resize(6, 20);
  EXPECT_TRUE(t.wait_until([&] { return highlighted_row(t, "Item 5 ") == 2 && t.row(1).find("Item 4") != std::string::npos; }))
      << t.screen();
  EXPECT_FALSE(t.contains("A header line"));

  t.resize(25, 80);
  EXPECT_TRUE(t.wait_until([&] { return t.snapshot() == before; })) << t.screen();

  // The focus survives too: on the Ok button through two resizes, Enter
  // still chooses Ok with the same current item.
  t.press(Key::Tab);
  ASSERT_TRUE(t.wait_until([&] { return highlighted_row(t, "Item 5 ") < 0; })) << t.screen();
  t.resize(6, 20);
  ASSERT_TRUE(t.wait_until([&] { return frame_whole(t, whole_screen(t)); })) << t.screen();
  t.resize(25, 80);
  ASSERT_TRUE(t.wait_until([&] { return t.cell(24, 79).ch == "┘" && t.contains("Item 18"); })) << t.screen();
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for("Result 17 index 5 code 105")) << t.screen();
}

TEST(Resize, WaitingBoxStaysCentred) {
  Terminal t(25, 80);
  ASSERT_TRUE(kvltest::start_demo_showing(t, {"message", "Card not found", "--wait"}, "[  Ok  ]"));
  ASSERT_TRUE(t.wait_until([&] { return t.cursor() == Pos{13, 5 + 34}; })) << t.screen();
  std::string before = t.snapshot();

  struct Case { int rows, cols; Box box; int button_col; } cases[] = {
      {40, 120, {17, 25, 21, 94}, 25 + 31},
      {12, 40, {3, 0, 7, 39}, 16},  // as wide as the screen, the button centred
      {6, 20, {0, 0, 4, 19}, 6},
  };
  for (const Case &c : cases) {
    t.resize(c.rows, c.cols);
    EXPECT_TRUE(t.wait_until([&] {
      return frame_whole(t, c.box) && kvltest::column_of(t, c.box.top + 3, "[  Ok  ]") == c.button_col &&
             t.row(c.box.top + 1).find("Card not found") != std::string::npos;
    })) << c.rows << "x" << c.cols << "\n" << t.screen();
  }
  t.resize(25, 80);
  EXPECT_TRUE(t.wait_until([&] { return t.snapshot() == before; })) << t.screen();
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for("Result closed")) << t.screen();
}

TEST(Resize, TextInputKeepsTheTextAndTheCursor) {
  Terminal t(25, 80);
  ASSERT_TRUE(kvltest::start_demo_showing(t, {"input", "Enter the path\nof the file", "--init", "abc"},
                                          "Cancel"));
  ASSERT_TRUE(t.wait_until([&] { return t.cursor() == Pos{12, 6}; })) << t.screen();
  t.type("xyz");
  t.press(Key::Left, 2);
  ASSERT_TRUE(t.wait_until([&] { return t.row(12).find("abcxyz") != std::string::npos && t.cursor() == Pos{12, 7}; }))
      << t.screen();
  std::string before = t.snapshot();

  // The box: height 8 (6 at most on 6 rows, without the prompt), width COLS - 2.
  struct Case { int rows, cols; Box box; } cases[] = {
      {40, 120, {16, 1, 23, 118}},
      {12, 40, {2, 1, 9, 38}},
      {6, 20, {0, 1, 5, 18}},
  };
  for (const Case &c : cases) {
    t.resize(c.rows, c.cols);
    int field = c.box.bottom - 3;
    EXPECT_TRUE(t.wait_until([&] {
      return frame_whole(t, c.box) && t.row(field).find("abcxyz") != std::string::npos &&
             t.cursor() == Pos{field, c.box.left + 2 + 4};
    })) << c.rows << "x" << c.cols << "\n" << t.screen();
  }
  t.resize(25, 80);
  EXPECT_TRUE(t.wait_until([&] { return t.snapshot() == before; })) << t.screen();
  t.type("Q");
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for("Result 1 text [abcxQyz]")) << t.screen();
}

}  // namespace
