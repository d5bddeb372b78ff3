// The three settings files read into records and written back: problems with
// their line numbers, and texts that must read back to the same records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/dspdevs_map.h"
#include "settings/mixer_map.h"
#include "settings/options_cfg.h"

namespace {

using namespace kvl;
using namespace std::string_literals;
using E = SettingsError;

// Rows as "line:name=value_text".
std::vector<std::string> rows_of(const OptionsFile &f) {
  std::vector<std::string> v;
  for (const OptionRow &r : f.rows)
    v.push_back(std::to_string(r.line) + ":" + r.option->name + "=" + r.value_text);
  return v;
}

TEST(OptionsCfg, ParseCases) {
  struct Case {
    const char *name;
    std::string text;
    std::vector<std::string> rows;
    std::vector<SettingsProblem> problems;
  } cases[] = {
      {"rows and the last line without newline", "softkvl_rate=48000\nlynxtwo_init_order=-2",
       {"1:softkvl_rate=48000", "2:lynxtwo_init_order=-2"}, {}},
      {"bad lines among good ones", "be_quiet=1\n\n# note\nloudness=3\npnp_reset=x=y\n",
       {"1:be_quiet=1", "5:pnp_reset=x=y"},
       {{2, E::InvalidLine, ""}, {3, E::InvalidLine, "# note"}, {4, E::UnknownOption, "loudness"}}},
      {"names match exactly", "Be_quiet=1\nbe_quiet =1\n=1\n", {},
       {{1, E::UnknownOption, "Be_quiet"}, {2, E::UnknownOption, "be_quiet "},
        {3, E::UnknownOption, ""}}},
      {"cut at 255 characters before the split", std::string(255, 'a') + "=1\n", {},
       {{1, E::InvalidLine, std::string(255, 'a')}}},
      {"a value cut at 255", "src_quality=" + std::string(300, '7') + "\n",
       {"1:src_quality=" + std::string(255 - 12, '7')}, {}},
      {"CRLF line ends, a line with a NUL byte refused",
       "softkvl_rate=48000\r\nbe_quiet=1\0x\r\n\r\npnp_reset=1\r"s,
       {"1:softkvl_rate=48000", "4:pnp_reset=1"}, {{2, E::NulByte, ""}, {3, E::InvalidLine, ""}}},
      {"a NUL byte past the cut still refuses the line",
       "be_quiet=1" + std::string(300, ' ') + "\0\n"s, {}, {{1, E::NulByte, ""}}},
      {"empty", "", {}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    OptionsFile f;
    EXPECT_EQ(parse_options_cfg(c.text, &f), c.problems.empty() ? 0 : -1);
    EXPECT_EQ(rows_of(f), c.rows);
    EXPECT_EQ(f.problems, c.problems);
  }
}

TEST(OptionsCfg, ValueIsTheLeadingDecimalNumberOrZero) {
  struct Case {
    const char *text;
    int value;
  } cases[] = {{"48000", 48000}, {"-2", -2}, {"+7", 7}, {"yes", 0}, {"12abc", 12},
               {" 5", 0}, {"", 0}, {"-", 0}, {"2147483647", 2147483647},
               {"-2147483648", -2147483647 - 1}, {"2147483648", 0}, {"99999999999x", 0},
               {"0x10", 0}};
  for (const Case &c : cases) {
    OptionRow row{1, find_option("be_quiet"), c.text};
    EXPECT_EQ(option_value(row), c.value) << c.text;
  }
}

TEST(OptionsCfg, FormatReadsBackAndRefusesWhatWouldNot) {
  OptionsFile f;
  f.rows = {{1, find_option("hdaudio_snoopy"), "1"},
            {2, find_option("softkvl_rate"), "yes"},
            {3, find_option("be_quiet"), ""}};
  std::string text;
  ASSERT_EQ(format_options_cfg(f, &text), 0);
  EXPECT_EQ(text, "hdaudio_snoopy=1\nsoftkvl_rate=yes\nbe_quiet=\n");
  OptionsFile back;
  EXPECT_EQ(parse_options_cfg(text, &back), 0);
  EXPECT_EQ(back, f);

  // Problems are not written back.
  ASSERT_EQ(parse_options_cfg("be_quiet=1\nnonsense\n", &f), -1);
  ASSERT_EQ(format_options_cfg(f, &text), 0);
  EXPECT_EQ(text, "be_quiet=1\n");

  std::string longest(255 - 8 - 1, '1');  // "be_quiet=" + value: exactly 255
  OptionRow bad[] = {{1, nullptr, "1"}, {1, find_option("be_quiet"), "1\n2"},
                     {1, find_option("be_quiet"), longest + "1"}, {1, find_option("be_quiet"), "1\r"},
                     {1, find_option("be_quiet"), "1\0"s}};
  for (const OptionRow &row : bad) {
    text = "kept";
    EXPECT_EQ(format_options_cfg(OptionsFile{{row}, {}}, &text), -1) << row.value_text;
    EXPECT_EQ(text, "kept");
  }
  ASSERT_EQ(format_options_cfg(OptionsFile{{{1, find_option("be_quiet"), longest}}, {}}, &text), 0);
  EXPECT_EQ(parse_options_cfg(text, &back), 0);
  EXPECT_EQ(back.rows[0].value_text, longest);
}

// " 0 101 202 ...": n levels from the first-th on, level i being i * 0x101.
std::string levels(int n, const char *fmt = "%x", int first = 0) {
  std::string s;
  char buf[16];
  for (int i = first; i < first + n; i++) {
    std::snprintf(buf, sizeof buf, fmt, i * 0x101);
    s += std::string(" ") + buf;
  }
  return s;
}

// Entries as "line:NAME" for levels (checked to be 0, 0x101, ...) and
// "line:!PROGRAM|ARGS" for commands.
std::vector<std::string> entries_of(const MixerMap &m) {
  std::vector<std::string> v;
  for (const MixerEntry &e : m.entries) {
    if (e.kind == MixerEntryKind::Command) {
      v.push_back(std::to_string(e.line) + ":!" + e.name + "|" + e.args);
      continue;
    }
    v.push_back(std::to_string(e.line) + ":" + e.name);
    for (int i = 0; i < MIXER_LEVEL_COUNT; i++) EXPECT_EQ(e.levels[i], i * 0x101) << e.name;
  }
  return v;
}

TEST(MixerMap, ParseCases) {
  struct Case {
    const char *name;
    std::string text;
    std::vector<std::string> entries;
    std::vector<SettingsProblem> problems;
  } cases[] = {
      {"levels over lines, commands between",
       "SB16" + levels(32) + "\n!mixset vol=75  pcm=75\nAUX\n" + levels(16) + "\n" +
           levels(16, "%04X", 16) + "\n\t!x\n!\n",
       {"1:SB16", "2:!mixset|vol=75  pcm=75", "3:AUX", "6:!x|", "7:!|"}, {}},
      {"blanks and tabs before the arguments go, others stay", "! \t a b \n!y\r c",
       {"1:!|a b ", "2:!y|\r c"}, {}},
      {"31 values at the end", "A" + levels(32) + "\nB" + levels(31) + "\n", {"1:A"},
       {{2, E::BadLevels, "B"}}},
      {"a bad level ends the levels, later commands stay",
       "\n\nA" + levels(31) + " zz\nB" + levels(32) + "\n!run x\n", {"5:!run|x"},
       {{3, E::BadLevels, "A"}}},
      {"a command where a level should be", "A" + levels(3) + "\n!mixset a b\nB" + levels(32),
       {"2:!mixset|a b"}, {{1, E::BadLevels, "A"}}},
      {"five digits", "A" + levels(31) + " 10000\n", {}, {{1, E::BadLevels, "A"}}},
      {"a sign", "A" + levels(31) + " -1\n", {}, {{1, E::BadLevels, "A"}}},
      {"a level word starting with !", "A !" + levels(31), {"1:!|" + levels(31).substr(1)},
       {{1, E::BadLevels, "A"}}},
      {"CRLF line ends, a line with a NUL byte refused",
       "A" + levels(32) + "\r\n!mix\0er a\r\n!mixset a b\r\n"s, {"1:A", "3:!mixset|a b"},
       {{2, E::NulByte, ""}}},
      {"empty", " \n\t\n", {}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    MixerMap m;
    EXPECT_EQ(parse_mixer_map(c.text, &m), c.problems.empty() ? 0 : -1);
    EXPECT_EQ(entries_of(m), c.entries);
    EXPECT_EQ(m.problems, c.problems);
  }
}

MixerEntry level_entry(int line, const std::string &name) {
  MixerEntry e;
  e.line = line;
  e.name = name;
  for (int i = 0; i < MIXER_LEVEL_COUNT; i++) e.levels[i] = i == 0 ? 0xffff : i * 0x101;
  return e;
}

MixerEntry command_entry(int line, const std::string &program, const std::string &args) {
  MixerEntry e;
  e.line = line;
  e.kind = MixerEntryKind::Command;
  e.name = program;
  e.args = args;
  return e;
}

TEST(MixerMap, FormatReadsBackAndRefusesWhatWouldNot) {
  MixerMap m;
  m.entries = {level_entry(1, std::string(40, 'm')), command_entry(2, "mixset", "vol=75 \r "),
               command_entry(3, "", "x"), command_entry(4, "y", "\vz"), command_entry(5, "", ""),
               level_entry(6, "AWE")};
  std::string text;
  ASSERT_EQ(format_mixer_map(m, &text), 0);
  std::string tail = " ffff" + levels(31, "%04x", 1);  // level_entry's 0xffff, 0x101, 0x202, ...
  EXPECT_EQ(text, std::string(40, 'm') + tail + "\n!mixset vol=75 \r \n! x\n!y \vz\n!\nAWE" + tail +
                      "\n");
  MixerMap back;
  EXPECT_EQ(parse_mixer_map(text, &back), 0);
  EXPECT_EQ(back, m);

  MixerEntry bad[] = {level_entry(1, ""), level_entry(1, "!A"), level_entry(1, "a b"),
                      level_entry(1, "a\nb"), command_entry(1, "a b", ""),
                      command_entry(1, "a", " x"), command_entry(1, "a", "\tx"),
                      command_entry(1, "a", "x\ny"), command_entry(1, "a", "x\r"),
                      command_entry(1, "a", "x\0y"s), level_entry(1, "a\0"s)};
  bad[0].name = "";
  MixerEntry high = level_entry(1, "A"), low = level_entry(1, "A");
  high.levels[5] = 0x10000;
  low.levels[5] = -1;
  for (const MixerEntry &e : bad) {
    text = "kept";
    EXPECT_EQ(format_mixer_map(MixerMap{{e}, {}}, &text), -1) << e.name << "|" << e.args;
    EXPECT_EQ(text, "kept");
  }
  EXPECT_EQ(format_mixer_map(MixerMap{{high}, {}}, &text), -1);
  EXPECT_EQ(format_mixer_map(MixerMap{{low}, {}}, &text), -1);
}

// Routes as "mode: devices...".
std::vector<std::string> routes_of(const DspdevsMap &m) {
  std::vector<std::string> v;
  for (int k = 0; k < m.count; k++) {
    std::string s = std::to_string(m.routes[k].mode) + ":";
    for (int i = 0; i < m.routes[k].count; i++) s += " " + std::to_string(m.routes[k].devices[i]);
    v.push_back(s);
  }
  return v;
}

std::string numbers(int n) {
  std::string t;
  for (int i = 0; i < n; i++) t += std::to_string(i) + " ";
  return t;
}

TEST(DspdevsMap, ParseCases) {
  struct Case {
    const char *name;
    std::string text;
    std::vector<std::string> routes;
    std::vector<SettingsProblem> problems;
  } cases[] = {
      {"as the control panel writes it", "3 0 1 \n\n2 \n", {"1: 3 0 1", "2:", "3: 2"}, {}},
      {"runs of blanks, no last newline", "0   1\n255", {"1: 0 1", "2: 255"}, {}},
      {"CRLF line ends", "3 1 \r\n\r\n2\r\n", {"1: 3 1", "2:", "3: 2"}, {}},
      {"256 is no device", "1\n0 256\n", {}, {{2, E::RoutingOutOfRange, "256"}}},
      {"nor is -1", "-1 \n", {}, {{1, E::RoutingOutOfRange, "-1"}}},
      {"a NUL byte", "1\n2\0\n"s, {}, {{2, E::NulByte, ""}}},
      {"a fourth line is not read", "0\n0\n0\nx\n", {"1: 0", "2: 0", "3: 0"}, {}},
      {"one empty line", "\n", {"1:"}, {}},
      {"a letter drops the lines before it too", "0 1\n2 x\n", {},
       {{2, E::RoutingNotANumber, "x"}}},
      {"a tab is no separator", "1\t2\n", {}, {{1, E::RoutingNotANumber, "1\t2"}}},
      {"a leading blank", "1\n2\n 1\n", {}, {{3, E::RoutingLeadingBlank, " 1"}}},
      {"64 numbers fit", numbers(64) + "\n", {"1:" + [] {
                                               std::string s;
                                               for (int i = 0; i < 64; i++)
                                                 s += " " + std::to_string(i);
                                               return s;
                                             }()},
       {}},
      {"65 numbers", "\n" + numbers(65), {}, {{2, E::RoutingTooMany, "64"}}},
      {"empty file", "", {}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    DspdevsMap m;
    EXPECT_EQ(parse_dspdevs_map(c.text, &m), c.problems.empty() ? 0 : -1);
    EXPECT_EQ(routes_of(m), c.routes);
    EXPECT_EQ(m.problems, c.problems);
  }
}

TEST(DspdevsMap, FormatReadsBackAndRefusesWhatWouldNot) {
  DspdevsMap m;
  m.count = 3;
  m.routes[0] = {1, 3, {3, 0, 1}};
  m.routes[1] = {2, 0, {}};
  m.routes[2] = {3, 1, {255}};
  std::string text;
  ASSERT_EQ(format_dspdevs_map(m, &text), 0);
  EXPECT_EQ(text, "3 0 1 \n\n255 \n");
  DspdevsMap back;
  EXPECT_EQ(parse_dspdevs_map(text, &back), 0);
  EXPECT_EQ(back, m);

  m.count = 2;  // the third route is not written
  ASSERT_EQ(format_dspdevs_map(m, &text), 0);
  EXPECT_EQ(text, "3 0 1 \n\n");
  ASSERT_EQ(parse_dspdevs_map(text, &back), 0);
  EXPECT_EQ(back, m);

  DspdevsMap bad[4] = {m, m, m, m};
  bad[0].count = 4;
  bad[1].count = -1;
  bad[2].routes[1].mode = 3;
  bad[3].routes[0].count = 65;
  for (const DspdevsMap &b : bad) {
    text = "kept";
    EXPECT_EQ(format_dspdevs_map(b, &text), -1);
    EXPECT_EQ(text, "kept");
  }
}

}  // namespace
