// The one line reader of the configuration files and the quoting of lines in
// messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"

namespace {

using namespace std::string_literals;

std::vector<std::string> lines_of(std::string_view text, size_t max = std::string_view::npos) {
  std::vector<std::string> v;
  std::string_view line;
  while (kvl::next_line(text, line, max)) v.emplace_back(line);
  return v;
}

TEST(NextLine, LineEnds) {
  struct Case {
    const char *name;
    std::string text;
    size_t max;
    std::vector<std::string> lines;
  } cases[] = {
      {"LF", "a\n\nb", std::string::npos, {"a", "", "b"}},
      {"CRLF reads as LF", "a\r\n\r\nb\r\n", std::string::npos, {"a", "", "b"}},
      {"a last line's CR goes too", "a\r", std::string::npos, {"a"}},
      {"only one CR goes, inner ones stay", "a\r\r\nb\rc\n", std::string::npos, {"a\r", "b\rc"}},
      {"pieces: the CR is no part of the length", "abc\r\ndefg\r\n", 3, {"abc", "def", "g"}},
      {"pieces: a long line's CR leaves no empty piece", "abcdefg\r\n", 3, {"abc", "def", "g"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lines_of(c.text, c.max), c.lines);
  }
}

TEST(NextConfigLine, CountsLinesAndRefusesNulBytes) {
  std::string text = "a\r\nb\0c\nd\n\0"s;
  std::string_view rest = text, line;
  int n = 0;
  std::vector<std::pair<int, int>> got;  // (result, line number)
  for (int rc; (rc = kvl::next_config_line(rest, line, &n)) != 0;) got.emplace_back(rc, n);
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{1, 1}, {-1, 2}, {1, 3}, {-1, 4}}));
  EXPECT_EQ(kvl::nul_line_message("etc/options.cfg", 2),
            "etc/options.cfg: line 2 contains a NUL byte");
}

TEST(QuoteText, AtMostTwoHundredCharactersThenDots) {
  EXPECT_EQ(kvl::quote_text(""), "");
  EXPECT_EQ(kvl::quote_text(std::string(200, 'x')), std::string(200, 'x'));
  EXPECT_EQ(kvl::quote_text(std::string(201, 'x')), std::string(200, 'x').append("..."));
  EXPECT_EQ(kvl::quote_text(std::string(1 << 20, '~')), std::string(200, '~').append("..."));
}

}  // namespace
