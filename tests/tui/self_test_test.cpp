// The self-test window's pieces without a screen: the verdict of the test's
// output (only its last line counts) and a file appended to a list.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support.h"
#include "tui/tui.h"

namespace {

using namespace kvl;

TEST(SelfTestOutput, OnlyTheLastLineDecides) {
  std::string long_line = std::string(1500, 'a') + " OK\n";
  struct Case {
    const char *name;
    std::string output;
    int passed;
    std::vector<std::string> shown;
  } cases[] = {
      {"last line OK", "Device 0 plays\nAll tests OK\n", 1, {"Device 0 plays", "All tests OK"}},
      {"OK followed by another line", "All tests OK\ncut short\n", 0, {"All tests OK", "cut short"}},
      {"an empty last line", "All tests OK\n\n", 0, {"All tests OK"}},
      {"no output", "", 0, {}},
      {"no final newline", "1 tests FAILED\nAll tests OK", 1, {"1 tests FAILED", "All tests OK"}},
      // Read in pieces of 1022 characters; the last piece holds the OK.
      {"long last line", long_line, 1, {std::string(1022, 'a'), std::string(478, 'a') + " OK"}},
  };
  for (const Case &c : cases) {
    std::FILE *in = fmemopen(const_cast<char *>(c.output.data()), c.output.size(), "r");
    if (c.output.empty()) in = std::fopen("/dev/null", "r");
    ASSERT_NE(in, nullptr) << c.name;
    std::vector<std::string> shown;
    EXPECT_EQ(read_self_test_output(in, [&](const char *line) { shown.push_back(line); }), c.passed)
        << c.name;
    EXPECT_EQ(shown, c.shown) << c.name;
    std::fclose(in);
  }
}

std::vector<std::string> items_of(const ChoiceList *list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->item_count; i++) {
    EXPECT_EQ(list->items[i].code, LIST_ESCAPE);
    out.push_back(list->items[i].text);
  }
  return out;
}

TEST(AppendFileToList, PiecesOf78AndAMissingFile) {
  kvltest::TempDir d;
  std::string line100 = std::string(78, 'x') + std::string(22, 'y');
  kvltest::write_file(d / "log", "first\n\n" + line100 + "\n" + std::string(78, 'z') + "\nlast");
  ChoiceList *list = list_create("results", SELF_TEST_LIST_CAPACITY);
  append_file_to_list(list, (d / "missing").c_str());
  append_file_to_list(list, (d / "log").c_str());
  EXPECT_EQ(items_of(list), (std::vector<std::string>{"Failed to open the log file", "first", "",
                                                      std::string(78, 'x'), std::string(22, 'y'),
                                                      std::string(78, 'z'), "last"}));
  list_destroy(list);
}

// Past the capacity the lines are dropped after one message, and nothing is
// written beyond the item array.
TEST(AppendFileToList, StopsAtTheCapacity) {
  kvltest::TempDir d;
  std::string text;
  for (int i = 0; i < 1005; i++) text += "line " + std::to_string(i) + "\n";
  kvltest::write_file(d / "log", text);
  ChoiceList *list = list_create("results", SELF_TEST_LIST_CAPACITY);
  testing::internal::CaptureStderr();
  append_file_to_list(list, (d / "log").c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Internal error: Too many choice lines\n");
  EXPECT_EQ(list->item_count, SELF_TEST_LIST_CAPACITY);
  EXPECT_STREQ(list->items[999].text, "line 999");
  list_destroy(list);
}

TEST(ShellQuote, QuotesEveryCharacter) {
  EXPECT_EQ(shell_quote("/usr/lib/kvl"), "'/usr/lib/kvl'");
  EXPECT_EQ(shell_quote("a'b $c"), "'a'\\''b $c'");
  EXPECT_EQ(shell_quote(""), "''");
}

}  // namespace
