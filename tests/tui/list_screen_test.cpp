// The choice list on a real terminal, driven through the dialog demo.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo.h"

namespace {

using kvltest::Key;
using kvltest::Terminal;

std::string item_row(int n) { return "│ Item " + std::to_string(n); }

TEST(ListScreen, TitleHeadersItemsAndButtonsAtTheirPlaces) {
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo(t, {"list", "--title", "Choose a card", "--header", "First header",
                                      "--header", "Second\nnot shown", "--items", "3", "--line",
                                      "-- a line --", "--button", "  Ok  :use", "--button",
                                      " Cancel :-1", "--button", "Help:help"}))
      << t.screen();
  // Title: bold, a blank at ((80 - 13) / 2) - 1 = 32, the title, a blank.
  EXPECT_EQ(kvltest::column_of(t, 0, " Choose a card "), 32) << t.screen();
  EXPECT_TRUE(t.cell(0, 33).bold);
  EXPECT_TRUE(t.cell(0, 32).bold);
  EXPECT_EQ(t.cell(0, 0).ch, "┌");
  EXPECT_EQ(t.cell(0, 79).ch, "┐");
  // Header lines on rows 1 and 2 (first line only), plain; separator on row 3.
  EXPECT_EQ(t.row(1), "│ First header" + std::string(65, ' ') + "│");
  EXPECT_EQ(kvltest::column_of(t, 2, "Second"), 2);
  EXPECT_FALSE(t.contains("not shown"));
  EXPECT_FALSE(t.cell(1, 2).bold);
  EXPECT_EQ(t.cell(3, 0).ch, "├");
  EXPECT_EQ(t.cell(3, 40).ch, "─");
  EXPECT_EQ(t.cell(3, 79).ch, "┤");
  // Items from row 4: the current one reverse up to column 78, the others
  // bold, the unselectable line plain.
  for (int c = 1; c <= 78; c++) EXPECT_TRUE(t.cell(4, c).reverse) << "column " << c;
  EXPECT_FALSE(t.cell(4, 79).reverse);
  EXPECT_TRUE(t.cell(5, 2).bold);
  EXPECT_FALSE(t.cell(5, 2).reverse);
  EXPECT_EQ(kvltest::column_of(t, 7, "-- a line --"), 2);
  EXPECT_FALSE(t.cell(7, 2).bold);
  EXPECT_EQ(t.cursor(), (kvltest::Pos{4, 2}));
  // Buttons: separator on row 21, labels on row 22 at (80 / 4) * i - len / 2.
  EXPECT_EQ(t.cell(21, 0).ch, "├");
  EXPECT_EQ(kvltest::column_of(t, 22, "[  Ok  ]"), 17);
  EXPECT_EQ(kvltest::column_of(t, 22, "[ Cancel ]"), 36);
  EXPECT_EQ(kvltest::column_of(t, 22, "[Help]"), 58);
  EXPECT_FALSE(t.cell(22, 18).reverse);
  EXPECT_EQ(t.cell(23, 0).ch, "└");
}

TEST(ListScreen, ListWithoutButtonsGainsTwoRows) {
  struct Case { std::vector<std::string> buttons; int last_row; } cases[] = {
      {{"--button", "  Ok  :use"}, 20},
      {{}, 22},
  };
  for (const Case &c : cases) {
    Terminal t;
    std::vector<std::string> args = {"list", "--title", "T", "--items", "30"};
    args.insert(args.end(), c.buttons.begin(), c.buttons.end());
    ASSERT_TRUE(kvltest::start_demo(t, args)) << t.screen();
    int shown = c.last_row;  // items 0 .. last_row - 1 on rows 1 .. last_row
    EXPECT_EQ(t.row(c.last_row).substr(0, item_row(shown - 1).size()), item_row(shown - 1)) << t.screen();
    EXPECT_FALSE(t.contains("Item " + std::to_string(shown) + " ")) << t.screen();
    EXPECT_EQ(t.cell(21, 0).ch, c.buttons.empty() ? "│" : "├") << t.screen();
  }
}

// Item rows start at row 1; with a button R = 20.
TEST(ListScreen, ScrollingByHalfAScreen) {
  struct Case {
    const char *name;
    int items, downs;
    int first_shown, cursor_row;
  } cases[] = {
      {"exactly R items never scroll", 20, 25, 0, 20},
      {"R + 1 items scroll to show the last", 21, 20, 1, 20},
      {"many items scroll by R / 2", 50, 20, 10, 11},
  };
  for (const Case &c : cases) {
    Terminal t;
    ASSERT_TRUE(kvltest::start_demo(t, {"list", "--items", std::to_string(c.items), "--button",
                                        "  Ok  :use"}))
        << c.name;
    t.press(Key::Down, c.downs);
    std::string want = item_row(c.first_shown) + " ";
    EXPECT_TRUE(t.wait_until([&] {
      return t.row(1).starts_with(want) && t.cursor() == kvltest::Pos{c.cursor_row, 2};
    })) << c.name << "\n" << t.screen();
    EXPECT_TRUE(t.cell(c.cursor_row, 2).reverse) << c.name;
  }
}

// The key sequence ends with Enter; the note names the chosen index.
TEST(ListScreen, KeysChooseAnItem) {
  struct Case {
    const char *name;
    std::vector<Key> keys;
    std::string result;
  } cases[] = {
      {"Page Up at index 1 does nothing", {Key::Down, Key::PageUp, Key::Down, Key::Enter},
       "Result 102 index 2 code 102"},
      {"Up from index 1 goes to 0", {Key::Down, Key::Up, Key::Enter}, "Result 100 index 0 code 100"},
      {"Page Down then Page Up", {Key::PageDown, Key::Down, Key::PageUp, Key::Enter},
       "Result 101 index 1 code 101"},
      {"a button's code", {Key::Down, Key::Tab, Key::Enter}, "Result 17 index 1 code 101"},
      {"Escape", {Key::Down, Key::Escape}, "Result ESCAPE index 1 code 101"},
      {"Ctrl-C", {Key::CtrlC}, "Result ESCAPE index 0 code 100"},
  };
  for (const Case &c : cases) {
    Terminal t;
    ASSERT_TRUE(kvltest::start_demo(t, {"list", "--items", "50", "--button", "  Ok  :use"})) << c.name;
    for (Key k : c.keys) t.press(k);
    EXPECT_TRUE(t.wait_for(c.result)) << c.name << "\n" << t.screen();
  }
}

TEST(ListScreen, TabCyclesToTheButtonsAndBackToTheList) {
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo(t, {"list", "--items", "3", "--button", "  Ok  :use", "--button",
                                      " Cancel :-1"}));
  int ok = kvltest::column_of(t, 22, "[  Ok  ]");
  int cancel = kvltest::column_of(t, 22, "[ Cancel ]");
  struct Step { int ok_reverse, cancel_reverse, item_reverse; kvltest::Pos cursor; } steps[] = {
      {1, 0, 0, {22, ok + 3}},      // first non-blank of "  Ok  "
      {0, 1, 0, {22, cancel + 2}},
      {0, 0, 1, {1, 2}},            // back to the list
  };
  for (const Step &s : steps) {
    t.press(Key::Tab);
    EXPECT_TRUE(t.wait_until([&] { return t.cursor() == s.cursor; })) << t.screen();
    EXPECT_EQ(t.cell(22, ok + 1).reverse, s.ok_reverse != 0);
    EXPECT_EQ(t.cell(22, cancel + 1).reverse, s.cancel_reverse != 0);
    EXPECT_EQ(t.cell(1, 2).reverse, s.item_reverse != 0);
    EXPECT_EQ(t.cell(1, 2).bold, s.item_reverse == 0);
  }
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for("Result 100 index 0")) << t.screen();
}

TEST(ListScreen, LongItemIsShownCutTo77) {
  std::string text;
  for (int i = 0; i < 10; i++) text += std::to_string(i) + std::string(9, 'x');  // 100 characters
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo(t, {"list", "--item", text, "--button", "  Ok  :use"}));
  EXPECT_EQ(t.row(1), "│ " + text.substr(0, 77) + "│") << t.screen();
}

TEST(ListScreen, EnterOnAnUnselectableLineBeeps) {
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo(t, {"list", "--line", "-- a line --", "--item", "Next"}));
  EXPECT_FALSE(t.cell(1, 2).reverse);  // current, but never highlighted
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_for_bells(1)) << t.screen();
  t.press(Key::Down);
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for("Result 100 index 1 code 100")) << t.screen();
}

TEST(ListScreen, EnterOnAnEmptyListEscapes) {
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo(t, {"list", "--title", "Empty"}));
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for("Result ESCAPE")) << t.screen();
}

TEST(ListScreen, CurrentItemBeyondTheFirstScreenIsShown) {
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo(t, {"list", "--items", "50", "--current", "40", "--button", "  Ok  :use"}));
  kvltest::Pos cur = t.cursor();
  EXPECT_TRUE(t.row(cur.row).starts_with(item_row(40) + " ")) << t.screen();
  EXPECT_TRUE(t.cell(cur.row, 2).reverse);
}

TEST(ListScreen, ItemsBeyondTheCapacityShowOneBoxThenTheScreenComesBack) {
  Terminal t;
  ASSERT_TRUE(t.start(kvltest::tuidemo({"list", "--note", "Filling the list", "--capacity", "3",
                                        "--items", "6", "--pause"})));
  ASSERT_TRUE(t.wait_for("Internal error: Too many choice lines")) << t.screen();
  EXPECT_FALSE(t.contains("Filling the list"));  // the box clears the screen
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_for("Filling the list")) << t.screen();  // put back, no second box
  EXPECT_FALSE(t.contains("Too many"));
  t.type(" ");  // ends the pause
  ASSERT_TRUE(t.wait_for("Item 2")) << t.screen();
  EXPECT_FALSE(t.contains("Item 3"));
  t.press(Key::Down, 5);
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for("Result 102 index 2")) << t.screen();
}

TEST(ListScreen, SixteenthHeaderEndsTheProgram) {
  std::vector<std::string> args = {"list"};
  for (int i = 0; i < 16; i++) args.insert(args.end(), {"--header", "h" + std::to_string(i)});
  Terminal t;
  ASSERT_TRUE(t.start(kvltest::tuidemo(args)));
  ASSERT_TRUE(t.wait_for("Internal error: Too many header lines")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.exit_status(), 255);
  // The screen has ended before the message is printed again: it stays readable.
  EXPECT_NE(t.screen().find("Internal error: Too many header lines"), std::string::npos)
      << t.screen();
}

TEST(ListScreen, UnselectedButtonHasADimBracket) {
  kvltest::TmuxTerminal t;
  ASSERT_TRUE(t.start(kvltest::tuidemo({"list", "--items", "3", "--button", "  Ok  :use", "--button",
                                        " Cancel :-1"})));
  ASSERT_TRUE(t.wait_for("[ Cancel ]"));
  int ok = kvltest::column_of(t, 22, "[  Ok  ]");
  int cancel = kvltest::column_of(t, 22, "[ Cancel ]");
  EXPECT_TRUE(t.cell(22, ok).dim);  // focus on the list: both unselected
  t.press(Key::Tab);
  ASSERT_TRUE(t.wait_until([&] { return t.cell(22, ok).reverse; })) << t.row(22);
  for (int c = ok; c < ok + 8; c++) {  // selected: all reverse
    EXPECT_TRUE(t.cell(22, c).reverse) << c;
    EXPECT_FALSE(t.cell(22, c).dim) << c;
  }
  EXPECT_TRUE(t.cell(22, cancel).dim);  // unselected: a dim "[", the rest plain
  for (int c = cancel + 1; c < cancel + 10; c++) {
    EXPECT_FALSE(t.cell(22, c).dim) << c;
    EXPECT_FALSE(t.cell(22, c).reverse) << c;
  }
}

}  // namespace
