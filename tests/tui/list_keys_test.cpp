// The choice list's key rules, applied to the record alone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tui/list_keys.h"

namespace {

using kvl::ListAction;
using kvl::Key;
using kvl::KeyPress;

struct ListFixture {
  kvl::ChoiceList *list;
  explicit ListFixture(int items, int buttons = 2, int headers = 0, int height = 24) {
    list = kvl::list_create("Title", 100);
    for (int i = 0; i < headers; i++) kvl::list_add_header(list, "header");
    for (int i = 0; i < items; i++) kvl::list_add_item(list, "item", 100 + i);
    for (int i = 0; i < buttons; i++) kvl::list_add_button(list, "b", -1 - i);
    list->height = height;
    list->width = 80;
    kvl::list_layout(list);
  }
  ~ListFixture() { kvl::list_destroy(list); }
  ListAction press(KeyPress key, int times = 1) {
    ListAction a = ListAction::None;
    int result = 0;
    for (int i = 0; i < times; i++) a = kvl::list_key(list, key, &result);
    return a;
  }
  ListAction press(Key key, int times = 1) { return press(KeyPress{key, 0}, times); }
};

TEST(ListKeys, VisibleRowsFollowHeadersAndButtons) {
  struct Case { int buttons, headers, height, rows; } cases[] = {
      {2, 0, 24, 20},  // first row 1, button rows below
      {0, 0, 24, 22},  // no buttons: two rows more
      {1, 2, 24, 17},  // first row = headers + 2
      {0, 15, 24, 6},
      {2, 0, 25, 21},
  };
  for (const Case &c : cases) {
    ListFixture f(5, c.buttons, c.headers, c.height);
    EXPECT_EQ(kvl::list_visible_rows(f.list), c.rows)
        << c.buttons << " buttons, " << c.headers << " headers, height " << c.height;
  }
}

// On a screen too low for every header line and one item row, header lines
// go from the bottom up until one item row fits.
TEST(ListKeys, LowScreenShowsFewerHeaderLines) {
  struct Case { int buttons, headers, height, first_row, rows; } cases[] = {
      {2, 3, 25, 5, 17},  // all three: the usual layout
      {2, 3, 9, 5, 1},    // all three and one item row
      {2, 3, 8, 4, 1},    // two of them
      {2, 3, 6, 1, 2},    // none: no separator either
      {0, 3, 6, 4, 1},    // without buttons two of them
      {2, 0, 6, 1, 2},
  };
  for (const Case &c : cases) {
    ListFixture f(30, c.buttons, c.headers, c.height);
    EXPECT_EQ(f.list->first_row, c.first_row) << c.headers << " headers, height " << c.height;
    EXPECT_EQ(kvl::list_visible_rows(f.list), c.rows) << c.headers << " headers, height " << c.height;
  }
}

// A resize keeps the current item and the focus; the first visible item is
// the anchor where that still shows the current item, so a screen that goes
// back to its size comes back as it was.
TEST(ListKeys, ResizeKeepsCurrentFocusAndScroll) {
  struct Case {
    const char *name;
    int current, anchor;
    std::vector<std::pair<int, int>> heights_firsts;  // each resize and the first visible item after it
  } cases[] = {
      {"current near the top", 5, 0, {{12, 0}, {6, 4}, {24, 0}}},
      {"current below a shorter screen", 25, 10, {{12, 18}, {6, 24}, {24, 10}}},
      {"a taller screen fills up from above", 25, 10, {{40, 0}, {24, 10}}},
  };
  for (const Case &c : cases) {
    ListFixture f(30);
    f.list->current = c.current;
    f.list->first_visible = c.anchor;
    f.list->focus = 2;
    EXPECT_EQ(f.press(Key::Resize), ListAction::Resize) << c.name;
    EXPECT_EQ(f.list->first_visible, c.anchor) << c.name << ": the key alone changes nothing";
    for (auto [height, first] : c.heights_firsts) {
      kvl::list_resize(f.list, height, 40, c.anchor);
      EXPECT_EQ(f.list->first_visible, first) << c.name << ", height " << height;
      EXPECT_EQ(f.list->height, height);
      EXPECT_EQ(f.list->width, 40);
    }
    EXPECT_EQ(f.list->current, c.current) << c.name;
    EXPECT_EQ(f.list->focus, 2) << c.name;
  }
}

// Each case: a list of `items` items on a 24-row screen with buttons (R = 20),
// keys pressed in order, then where the current and first visible items are.
TEST(ListKeys, MovementAndScrolling) {
  struct Step { Key key; int times; };
  struct Case {
    const char *name;
    int items;
    std::vector<Step> keys;
    int current, first;
  } cases[] = {
      {"exactly R items never scroll", 20, {{Key::Down, 25}}, 19, 0},
      {"R + 1 items scroll as far as the last item", 21, {{Key::Down, 20}}, 20, 1},
      {"leaving the last row scrolls by R / 2", 50, {{Key::Down, 20}}, 20, 10},
      {"the next scroll comes R rows later", 50, {{Key::Down, 30}}, 30, 20},
      {"scrolling stops at count - R", 50, {{Key::Down, 49}}, 49, 30},
      {"Down at the last item", 3, {{Key::Down, 5}}, 2, 0},
      {"Up at the first item", 3, {{Key::Up, 1}}, 0, 0},
      {"Up inside the visible rows", 50, {{Key::Down, 5}, {Key::Up, 2}}, 3, 0},
      {"Up above the first row puts it R / 2 back", 50,
       {{Key::PageDown, 2}, {Key::Up, 11}}, 29, 19},
      {"Up never puts the first row below 0", 50, {{Key::Down, 20}, {Key::Up, 11}}, 9, 0},
      {"Page Down moves R on", 50, {{Key::PageDown, 1}}, 20, 20},
      {"Page Down is limited to the last item", 50, {{Key::PageDown, 3}}, 49, 30},
      {"Page Down on a short list", 5, {{Key::PageDown, 1}}, 4, 0},
      {"Page Up moves R back", 50, {{Key::PageDown, 2}, {Key::Down, 5}, {Key::PageUp, 1}},
       25, 10},
      {"Page Up stops at 0", 50, {{Key::Down, 5}, {Key::PageUp, 1}}, 0, 0},
      {"Page Up at index 1 does nothing", 50, {{Key::Down, 1}, {Key::PageUp, 1}}, 1, 0},
      {"Page Up at index 2 goes to 0", 50, {{Key::Down, 2}, {Key::PageUp, 1}}, 0, 0},
      {"other keys change nothing", 50, {{Key::Down, 3}, {Key::Other, 4}}, 3, 0},
  };
  for (const Case &c : cases) {
    ListFixture f(c.items);
    for (const Step &s : c.keys) f.press(s.key, s.times);
    EXPECT_EQ(f.list->current, c.current) << c.name;
    EXPECT_EQ(f.list->first_visible, c.first) << c.name;
  }
}

TEST(ListKeys, OneRowListFollowsTheCurrentItem) {
  ListFixture f(10, 2, 0, 5);  // R = 1
  ASSERT_EQ(kvl::list_visible_rows(f.list), 1);
  f.press(Key::Down, 3);
  EXPECT_EQ(f.list->current, 3);
  EXPECT_EQ(f.list->first_visible, 3);
  f.press(Key::Up);
  EXPECT_EQ(f.list->first_visible, 2);
}

TEST(ListKeys, TabCyclesThroughButtonsAndBack) {
  ListFixture f(3, 2);
  std::vector<int> seen;
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(f.press(Key::Tab), ListAction::RedrawAll);
    seen.push_back(f.list->focus);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 0, 1}));
  ListFixture none(3, 0);
  none.press(Key::Tab);
  EXPECT_EQ(none.list->focus, 0);
}

TEST(ListKeys, MovementWorksWhateverTheFocus) {
  ListFixture f(10, 2);
  f.press(Key::Tab);
  f.press(Key::Down, 2);
  EXPECT_EQ(f.list->current, 2);
  EXPECT_EQ(f.list->focus, 1);
}

// From the middle of a long list, each sign or letter key must move exactly as
// the key it stands for; keys the list does not use change nothing.
TEST(ListKeys, SignAndLetterKeysActAsArrowAndPageKeys) {
  auto start = [](ListFixture &f) {  // current 45, first visible 30
    f.press(Key::PageDown, 2);
    f.press(Key::Down, 5);
  };
  struct Case { char ch; Key same_as; } cases[] = {
      {'+', Key::Down}, {'-', Key::Up}, {'n', Key::PageDown}, {'N', Key::PageDown},
      {'p', Key::PageUp}, {'P', Key::PageUp},
  };
  for (const Case &c : cases) {
    ListFixture by_char(50), by_key(50);
    start(by_char);
    start(by_key);
    EXPECT_EQ(by_char.press(KeyPress{Key::Char, c.ch}), ListAction::RedrawItems) << c.ch;
    by_key.press(c.same_as);
    EXPECT_EQ(by_char.list->current, by_key.list->current) << c.ch;
    EXPECT_EQ(by_char.list->first_visible, by_key.list->first_visible) << c.ch;
  }
  KeyPress unused[] = {{Key::Left, 0}, {Key::Right, 0}, {Key::Backspace, 0}, {Key::Char, 'x'},
                       {Key::Char, ' '}, {Key::Other, 0}};
  for (KeyPress k : unused) {
    ListFixture f(50);
    start(f);
    EXPECT_EQ(f.press(k), ListAction::None) << static_cast<int>(k.key) << " " << k.ch;
    EXPECT_EQ(f.list->current, 45);
    EXPECT_EQ(f.list->focus, 0);
  }
}

TEST(ListKeys, EnterAndEscapeResults) {
  struct Case {
    const char *name;
    int focus;            // button focused before Enter
    int first_button;     // code of button 1
    int item_code;        // code of the current item
    int items;
    ListAction action;
    int result;
  } cases[] = {
      {"item chosen", 0, -1, 105, 3, ListAction::Return, 105},
      {"button chosen", 1, kvl::LIST_USE_ITEM, 105, 3, ListAction::Return, kvl::LIST_USE_ITEM},
      {"escape-coded button leaves it to the item", 1, kvl::LIST_ESCAPE, 105, 3, ListAction::Return, 105},
      {"unselectable line beeps", 0, -1, kvl::LIST_ESCAPE, 3, ListAction::Beep, 0},
      {"empty list escapes", 0, -1, 0, 0, ListAction::Return, kvl::LIST_ESCAPE},
  };
  for (const Case &c : cases) {
    kvl::ChoiceList *list = kvl::list_create("", 10);
    for (int i = 0; i < c.items; i++) kvl::list_add_item(list, "x", c.item_code);
    kvl::list_add_button(list, "b", c.first_button);
    list->height = 24;
    kvl::list_layout(list);
    list->focus = c.focus;
    int result = 0;
    EXPECT_EQ(kvl::list_key(list, {Key::Enter, 0}, &result), c.action) << c.name;
    EXPECT_EQ(result, c.result) << c.name;
    kvl::list_destroy(list);
  }
  ListFixture f(3);
  int result = 0;
  EXPECT_EQ(kvl::list_key(f.list, {Key::Escape, 0}, &result), ListAction::Return);
  EXPECT_EQ(result, kvl::LIST_ESCAPE);
}

TEST(ChoiceList, TextsAreCopiedAndCutAt127) {
  std::string title(200, 't'), hundred(100, 'a'), long_text(200, 'b');
  kvl::ChoiceList *list = kvl::list_create(title.c_str(), 5);
  kvl::list_add_item(list, hundred.c_str(), 1);
  kvl::list_add_item(list, long_text.c_str(), 2);
  hundred[0] = 'z';  // the list keeps its own copy
  EXPECT_EQ(std::string(list->title), title.substr(0, 127));
  EXPECT_EQ(std::string(list->items[0].text), std::string(100, 'a'));
  EXPECT_EQ(std::string(list->items[1].text), long_text.substr(0, 127));
  kvl::list_destroy(list);
}

TEST(ChoiceList, CurrentItem) {
  kvl::ChoiceList *list = kvl::list_create("", 5);
  EXPECT_EQ(kvl::list_current_index(list), 0);
  EXPECT_EQ(kvl::list_current_code(list), kvl::LIST_ESCAPE);  // no items yet
  for (int code : {7, 8, 9}) kvl::list_add_item(list, "x", code);
  kvl::list_set_current(list, 1);
  EXPECT_EQ(kvl::list_current_code(list), 8);
  kvl::list_set_current(list, -1);
  EXPECT_EQ(kvl::list_current_index(list), 2);
  EXPECT_EQ(kvl::list_current_code(list), 9);
  kvl::list_destroy(list);
}

TEST(ChoiceList, ClearHeadersLetsTheListTakeNewOnes) {
  kvl::ChoiceList *list = kvl::list_create("", 5);
  for (int i = 0; i < kvl::LIST_MAX_HEADERS; i++) kvl::list_add_header(list, "old");
  kvl::list_add_item(list, "x", 1);
  kvl::list_clear_headers(list);
  EXPECT_EQ(list->header_count, 0);
  kvl::list_layout(list);
  EXPECT_EQ(list->first_row, 1);  // laid out as a list without headers
  // A full set of headers fits again: a 16th in all would end the program.
  for (int i = 0; i < kvl::LIST_MAX_HEADERS; i++) kvl::list_add_header(list, "new");
  EXPECT_EQ(list->header_count, kvl::LIST_MAX_HEADERS);
  EXPECT_STREQ(list->headers[0], "new");
  EXPECT_EQ(list->item_count, 1);  // items stay
  kvl::list_destroy(list);
}

TEST(ChoiceList, ItemsPastTheCapacityAreDropped) {
  // Without a text screen the message goes to standard error.
  kvl::ChoiceList *list = kvl::list_create("", 2);
  testing::internal::CaptureStderr();
  for (int i = 0; i < 5; i++) kvl::list_add_item(list, "x", i);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(list->item_count, 2);
  EXPECT_EQ(list->items[1].code, 1);
  EXPECT_EQ(err, "Internal error: Too many choice lines\n");  // once
  kvl::list_destroy(list);
}

}  // namespace
