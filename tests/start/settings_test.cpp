// Saved driver settings end to end: etc/options.cfg, etc/mixer.map (levels
// and commands) and etc/dspdevs.map, good and bad.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "startup_fixture.h"

using starttest::Startup;
using testing::HasSubstr;

namespace {

using starttest::kCard;

TEST(OptionsCfg, LinesGoodAndBad) {
  struct Case {
    const char *text;
    std::vector<std::pair<int, int>> sent;
    const char *err;
  } cases[] = {
      {"softkvl_rate=48000\n", {{30, 48000}}, "Config option 'softkvl_rate=48000' defined\n"},
      {"softkvl_rate=48000\r\n", {{30, 48000}}, "Config option 'softkvl_rate=48000' defined\n"},
      {"hdaudio_snoopy=1\nlynxtwo_init_order=-2", {{100010, 1}, {100011, -2}},
       "Config option 'hdaudio_snoopy=1' defined\nConfig option 'lynxtwo_init_order=-2' defined\n"},
      {"be_quiet=yes\n", {{5, 0}}, "Config option 'be_quiet=yes' defined\n"},
      {"no equals sign\n\n# comment\n", {},
       "Invalid line in etc/options.cfg: 'no equals sign'\nInvalid line in etc/options.cfg: ''\n"
       "Invalid line in etc/options.cfg: '# comment'\n"},
      {"loudness=3\n", {}, "Unrecognized option name in etc/options.cfg: 'loudness\n"},
      {"", {}, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    Startup s;
    s.write("etc/options.cfg", c.text);
    auto r = s.audcore("", "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, c.err);
    std::vector<std::pair<int, int>> sent;
    for (const auto &j : s.machine.requests("Set ioctl")) sent.emplace_back(j["id"], j["value"]);
    EXPECT_EQ(sent, c.sent);
  }
}

TEST(OptionsCfg, LongLineIsCutAndFailedRequestReported) {
  Startup s;
  ASSERT_EQ(s.machine.kvlsim("fault", {"Set ioctl", "EINVAL"}).status, 0);
  std::string line = "src_quality=1" + std::string(300, '0');
  s.write("etc/options.cfg", line + "\n");
  auto r = s.audcore("", "");
  EXPECT_EQ(r.err, "Set ioctl: Invalid argument\nConfig option '" + line.substr(0, 200) +
                       "...' defined\n");
  // Also in configurator mode, before the version check.
  size_t from = s.machine.journal_size();
  s.audcore("c");
  EXPECT_EQ(s.machine.request_names(from)[0], "Set ioctl");
}

std::string levels(int n, const char *fmt = "%x") {
  std::string s;
  char buf[16];
  for (int i = 0; i < n; i++) {
    std::snprintf(buf, sizeof buf, fmt, i * 0x101);
    s += std::string(" ") + buf;
  }
  return s;
}

TEST(MixerMap, LevelEntries) {
  struct Case {
    const char *name;
    std::string text;
    std::vector<std::string> mixers;  // names sent
    const char *err;
  } cases[] = {
      {"two entries around a command", "SB16_mixer" + levels(32) + "\n!mixset a b\nAUX\n" +
                                           levels(16) + "\n" + levels(16, "%04X") + "\n",
       {"SB16_mixer", "AUX"}, ""},
      {"31 values at the end", "A" + levels(32) + "\nB" + levels(31) + "\n", {"A"},
       "Error: Invalid line in mixer.map (B)\n"},
      {"not hexadecimal stops reading", "A" + levels(31) + " zz\nB" + levels(32) + "\n", {},
       "Error: Invalid line in mixer.map (A)\n"},
      {"five digits", "A" + levels(31) + " 10000\n", {}, "Error: Invalid line in mixer.map (A)\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Startup s;
    s.write("etc/mixer.map", c.text);
    auto r = s.audcore("", "");
    EXPECT_EQ(r.err, c.err);
    std::vector<std::string> sent;
    for (const auto &j : s.machine.requests("Mixer setlevels")) sent.push_back(j["name"]);
    EXPECT_EQ(sent, c.mixers);
  }
}

TEST(MixerMap, LevelsSentAsWritten) {
  Startup s;
  s.write("etc/mixer.map", std::string(40, 'm') + levels(32) + "\n");
  s.audcore("", "");
  auto m = s.machine.requests("Mixer setlevels");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0]["name"], std::string(31, 'm'));
  EXPECT_EQ(m[0]["number"], 0);
  EXPECT_EQ(m[0]["levels"][1], 0x101);
  EXPECT_EQ(m[0]["levels"][31], 31 * 0x101);
}

TEST(MixerMap, CommandsRunFromBinAfterTheCardReport) {
  Startup s;
  s.write("bin/mixset", "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/../args\"\necho noise\n");
  std::filesystem::permissions(s.path("bin/mixset"), std::filesystem::perms::owner_all);
  s.write("etc/mixer.map", "!mixset a b\nX" + levels(32) + "\n!nosuch\n!mixset   c\n");
  auto r = s.audcore("", kCard);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\nKelvane started OK.\n");  // the command's output is discarded
  EXPECT_EQ(kvltest::read_file(s.path("args")), "-q a b\n-q c\n");
  EXPECT_THAT(r.err, HasSubstr("Command failed: " + s.dir +
                               "/bin/nosuch -q  > /dev/null\n"));
}

TEST(MixerMap, CommandsOnlyFromAFileOthersCannotChange) {
  struct Case {
    const char *name;
    mode_t file_mode, folder_mode;
    uid_t hop_owner;  // not 0: mixer.map is a link to a link of this owner in
                      // a world-writable sticky folder, then to a root file
                      // beside mixer.map
    bool runs;
  } cases[] = {
      {"0644 in 0755", 0644, 0755, 0, true},
      {"group-writable file", 0664, 0755, 0, false},
      {"group-writable folder", 0644, 0775, 0, false},
      {"through a link of another user", 0644, 0755, 1234, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Startup s;
    s.write("bin/mixset", "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/../args\"\n");
    std::filesystem::permissions(s.path("bin/mixset"), std::filesystem::perms::owner_all);
    std::string map = "etc/mixer.map";
    if (c.hop_owner) {
      map = "etc/real.map";
      std::filesystem::create_directories(s.path("shared"));
      std::filesystem::create_directories(s.path("etc"));
      std::filesystem::create_symlink(s.path("shared/hop"), s.path("etc/mixer.map"));
    }
    s.write(map, "!mixset a\nX" + levels(32) + "\n!mixset b\n");
    if (c.hop_owner) {
      std::filesystem::create_symlink(s.path("etc/real.map"), s.path("shared/hop"));
      ASSERT_EQ(lchown((s.path("shared/hop")).c_str(), c.hop_owner, 0), 0);
      ASSERT_EQ(chmod((s.path("shared")).c_str(), 01777), 0);
    }
    ASSERT_EQ(chmod((s.path(map)).c_str(), c.file_mode), 0);
    ASSERT_EQ(chmod((s.path("etc")).c_str(), c.folder_mode), 0);
    auto r = s.audcore("", kCard);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(s.machine.requests("Mixer setlevels").size(), 1u);  // the levels still apply
    if (c.runs) {
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(kvltest::read_file(s.path("args")), "-q a\n-q b\n");
    } else {
      EXPECT_EQ(r.err, "Not running commands from " + s.dir +
                           "/etc/mixer.map: it can be changed by other users\n");
      EXPECT_FALSE(kvltest::file_exists(s.path("args")));
    }
  }
}

TEST(SavedSettings, UnreadableFilesAreToldMissingOnesAreNot) {
  Startup s;
  // A folder where each file should be: there, but it cannot be read.
  for (const char *f : {"etc/options.cfg", "etc/mixer.map", "etc/dspdevs.map"})
    std::filesystem::create_directories(s.path(f));
  auto r = s.audcore("", kCard);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\nKelvane started OK.\n");  // start-up goes on
  std::string dir = s.dir;
  EXPECT_EQ(r.err, dir + "/etc/options.cfg: Is a directory\n" +  // the mixer.map line once
                       dir + "/etc/mixer.map: Is a directory\n" +
                       dir + "/etc/dspdevs.map: Is a directory\n");

  // On a running driver the first pass over mixer.map does not run: the
  // second tells.
  r = s.audcore("", "");
  EXPECT_EQ(r.err, dir + "/etc/options.cfg: Is a directory\n" + dir +
                       "/etc/mixer.map: Is a directory\n" + dir + "/etc/dspdevs.map: Is a directory\n");
}

std::vector<std::string> routing(const Startup &s) {
  std::vector<std::string> v;
  for (const auto &j : s.machine.requests("Set reroute")) {
    std::string line = std::to_string(j["mode"].get<int>()) + ":";
    for (int d : j["devices"]) line += " " + std::to_string(d);
    v.push_back(line);
  }
  return v;
}

// "0 1 2 ... n-1 " as the control panel writes a list.
std::string numbers(int n) {
  std::string t;
  for (int i = 0; i < n; i++) t += std::to_string(i) + " ";
  return t;
}

TEST(DspdevsMap, GoodAndBadFiles) {
  struct Case {
    const char *name;
    std::string text;
    std::vector<std::string> sent;
    const char *err;
  } cases[] = {
      {"three lines, empty middle", "3 1 \n\n2\n", {"1: 3 1", "2:", "3: 2"},
       "/dev/dsp input assignment: 3 1 \n/dev/dsp output assignment: \n"
       "/dev/dsp output assignment: 2 \n"},
      {"two lines, runs of blanks", "0   1\n255\n", {"1: 0 1", "2: 255"},
       "/dev/dsp input assignment: 0 1 \n/dev/dsp output assignment: 255 \n"},
      {"256 is no device", "1\n256\n", {}, "Bad info in dspdevs.map\n"},
      {"a fourth line is ignored", "0\n0\n0\nx\n", {"1: 0", "2: 0", "3: 0"},
       "/dev/dsp input assignment: 0 \n/dev/dsp output assignment: 0 \n"
       "/dev/dsp output assignment: 0 \n"},
      {"a letter sends nothing at all", "0 1\n2 x\n", {}, "Bad info in dspdevs.map\n"},
      {"a leading blank", " 1\n", {}, "Bad info in dspdevs.map\n"},
      {"65 numbers", numbers(65) + "\n", {}, "Bad info in dspdevs.map\n"},
      {"empty file", "", {}, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Startup s;
    s.write("etc/dspdevs.map", c.text);
    auto r = s.audcore("", kCard);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(routing(s), c.sent);
  }
}

TEST(DspdevsMap, SixtyFourNumbersFitAndAFailedRequestStops) {
  Startup s;
  std::string line = numbers(64);
  s.write("etc/dspdevs.map", line + "\n1\n");
  ASSERT_EQ(s.machine.kvlsim("fault", {"Set reroute", "EINVAL", "2"}).status, 0);
  auto r = s.audcore("", kCard);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "/dev/dsp input assignment: " + line + "\nreroute: Invalid argument\n");
  auto j = s.machine.requests("Set reroute");
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[0]["count"], 64);
}

}  // namespace
