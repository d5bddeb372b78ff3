// The card configuration on standard input, end to end: card lines and their
// words, option lines, control lines and the commands they queue.
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
using namespace std::string_literals;

namespace {

// The Add card requests of a run, as "key name port irq dma1 dma2".
std::vector<std::string> added(const Startup &s) {
  std::vector<std::string> v;
  for (const auto &j : s.machine.requests("Add card"))
    v.push_back(std::to_string(j["key"].get<int>()) + " " + j["name"].get<std::string>() + " " +
                std::to_string(j["port"].get<int>()) + " " + std::to_string(j["irq"].get<int>()) +
                " " + std::to_string(j["dma1"].get<int>()) + " " +
                std::to_string(j["dma2"].get<int>()));
  return v;
}

struct WordCase {
  const char *name;
  const char *line;
  std::vector<std::string> added;  // Add card requests
  const char *err;                 // standard error after the handshake line
  const char *out;
};

TEST(CardLines, WordsOfACardLine) {
  const WordCase cases[] = {
      {"resources", "SB16 P220 I5 D1 d5", {"3 SB16 544 5 1 5"},
       "Configuring 3: SB16 P220 I5 D1 d5 device added \n", ""},
      {"ON, second IRQ, comment word and name", "SB16 ON P220 I5 i7 #x D1 d5 NLOUD",
       {"3 LOUD 544 5 1 5"}, "Configuring 3: SB16 ON P220 I5 i7 #x D1 d5 NLOUD device added \n", ""},
      {"defaults", "MPU401", {"4 MPU401 0 0 -1 -1"},
       "Configuring 4: MPU401 device added \nWarning: Some of the devices failed to initialize\n",
       ""},
      {"two blanks give an empty word", "SB16  P220", {},
       "Configuring 3: SB16 Unknown parm ''\n\n", ""},
      {"unknown word", "SB16 P220 X1 I5", {}, "Configuring 3: SB16 P220 X1Unknown parm 'X1'\n\n", ""},
      {"number that does not parse", "SB16 P22g", {},
       "Configuring 3: SB16 P22gIllegal parm 'P22g'\n\n", ""},
      {"letter without number", "SB16 I", {}, "Configuring 3: SB16 IIllegal parm 'I'\n\n", ""},
      {"OFF anywhere adds nothing", "SB16 P220 OFF I5", {}, "Configuring 3: SB16 P220 OFF\n", ""},
      {"OPNP adds nothing", "SB16 OPNP P220", {}, "Configuring 3: SB16 OPNP\n", ""},
      {"DUMMY is skipped silently", "DUMMY P220", {}, "", ""},
      {"unknown driver", "GRAVIS P220", {},
       "No driver found for 'GRAVIS'.\nIt's possibly not available for this operating system yet.\n",
       "No driver found for 'GRAVIS'.\nIt's probably not available for this operating system yet.\n"},
      {"comments and unknown options", "#NEEDS_ISA\n/PCIIRQ 5\n/IRQEXCLUDE 3 4\n/", {}, "", ""},
  };
  for (const WordCase &c : cases) {
    SCOPED_TRACE(c.name);
    Startup s;
    auto r = s.audcore("vv", std::string(c.line) + "\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, std::string("Sound driver contacted OK\n") + c.err);
    if (c.added.empty()) {
      EXPECT_EQ(r.out, c.out);
    }
    EXPECT_EQ(added(s), c.added);
  }
}

TEST(CardLines, QuietWithoutVerbosityAndSyncBeforeEachAddCard) {
  Startup s;
  auto r = s.audcore("", "SB16 P220 I5 D1 d5\nMPU401 P330 I9\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Warning: Some of the devices failed to initialize\n");  // no MPU401 there
  auto labels = s.machine.request_names();
  std::vector<std::string> tail(labels.begin() + 5, labels.begin() + 10);
  EXPECT_EQ(tail, (std::vector<std::string>{"sync", "Add card", "sync", "Add card", "sync"}));
  EXPECT_EQ(labels[10], "activate");
}

TEST(CardLines, HeaderLineSendsNameAndDescriptionCut) {
  Startup s;
  std::string longname(20, 'n');
  std::string longdescr(140, 'd');
  s.audcore("", "-SB16 #Sound Blaster 16\n-" + longname + " #" + longdescr + "\n-BARE\n");
  auto h = s.machine.requests("CTL_CARD_HEADER");
  ASSERT_EQ(h.size(), 3u);
  EXPECT_EQ(h[0]["name"], "SB16");
  EXPECT_EQ(h[0]["description"], "Sound Blaster 16");
  EXPECT_EQ(h[1]["name"], std::string(15, 'n'));
  EXPECT_EQ(h[1]["description"], std::string(127, 'd'));
  EXPECT_EQ(h[2]["description"], "");
}

TEST(CardLines, LongNamesAreCutToTheRecord) {
  Startup s;
  s.audcore("", "SB16 P220 N" + std::string(40, 'x') + "\n");
  auto a = s.machine.requests("Add card");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0]["name"], std::string(31, 'x'));
}

TEST(CardLines, RefusedCardIsFatal) {
  Startup s;
  ASSERT_EQ(s.machine.kvlsim("fault", {"Add card", "ENOSPC"}).status, 0);
  auto r = s.audcore("", "SB16 P220 I5 D1 d5\nMPU401 P330\n");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "errno=28\nAdd card: No space left on device\n");
  EXPECT_EQ(s.machine.requests("Add card").size(), 1u);
  EXPECT_TRUE(s.machine.requests("activate").empty());
}

TEST(CardLines, SecureAudioAndPnpDeviceLines) {
  Startup s;
  // "/SECUREAUDIO" alone keeps the setting; "off" in lower case turns it on.
  s.audcore("", "/SECUREAUDIO off\n/SECUREAUDIO\n/PNPDEV CTL0031 P220 P330 I5 D1 D5\n"
                "SB16 P220 I5 D1 d5\n");
  EXPECT_THAT(s.machine.kvlsim("devices").out, HasSubstr("/dev/dsp0 c 0622 14 3\n"));
  auto p = s.machine.requests("Set PnP device");
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0]["id"], "CTL0031");
  EXPECT_EQ(p[0]["ports"], (std::vector<int>{0x220, 0x330}));
  EXPECT_EQ(p[0]["dmas"], (std::vector<int>{1, 5}));

  Startup t;
  t.audcore("", "/SECUREAUDIO ON\n/SECUREAUDIO OFF\nSB16 P220 I5 D1 d5\n");
  EXPECT_THAT(t.machine.kvlsim("devices").out, HasSubstr("/dev/dsp0 c 0666 14 3\n"));
}

TEST(CardLines, CrlfLineEndsAndLinesWithANulByte) {
  Startup s;
  auto r = s.audcore("", "# Use audset to edit this file.\r\n/SECUREAUDIO OFF\r\n"
                         "MPU\0" "401 P330 I9\r\nSB16 P220 I5 D1 d5\r\n"s);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, s.dir + "/etc/devices.cfg: line 3 contains a NUL byte\n");
  EXPECT_EQ(r.out, "\nKelvane started OK.\n");
  EXPECT_EQ(added(s), std::vector<std::string>{"3 SB16 544 5 1 5"});
  EXPECT_THAT(s.machine.kvlsim("devices").out, HasSubstr("/dev/dsp0 c 0666 14 3\n"));
}

// The card commands of a run, as "name command byte0 byte1".
std::vector<std::string> card_settings(const Startup &s) {
  std::vector<std::string> v;
  for (const auto &j : s.machine.requests("Config")) {
    int cmd = j["command"];
    std::string a = cmd == 3 ? std::to_string(j["from"].get<int>())
                             : std::to_string(j["parm"].get<int>());
    std::string b = cmd == 3 ? std::to_string(j["to"].get<int>())
                             : std::to_string(j["value"].get<int>());
    v.push_back(j["name"].get<std::string>() + " " + std::to_string(cmd) + " " + a + " " + b);
  }
  return v;
}

TEST(ControlLines, MixmapAndParmValues) {
  struct Case {
    const char *words;
    std::vector<std::string> sent;
  } cases[] = {
      {"mixmap=line,none", {"SB16 3 6 31"}},
      {"mixmap=vol,surround", {"SB16 3 0 27"}},
      {"mixmap=line,foo", {}},
      {"mixmap=none,line", {}},
      {"mixmap=line", {}},
      {"mixmap", {}},
      {"parm1=300", {"SB16 4 1 44"}},
      {"parm2=7", {"SB16 4 2 7"}},
      {"parm1=abc", {"SB16 4 1 0"}},
      {"parm1", {"SB16 4 1 0"}},
      {"volume=3 parm3=1", {}},
      {"parm2=1 mixmap=cd,mic", {"SB16 4 2 1", "SB16 3 8 7"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.words);
    Startup s;
    s.audcore("", std::string("/CONTROL SB16 ") + c.words + "\nSB16 P220 I5 D1 d5\n");
    EXPECT_EQ(card_settings(s), c.sent);
  }
}

TEST(ControlLines, PendingLineStaysForTheSameCardUntilAHeaderOrAnotherCard) {
  Startup s;
  s.audcore("",
            "-SB16 #card\n/CONTROL SB16 parm1=1\n"
            "SB16 OPNP\n"           // applied without Add card
            "SB16 P220 I5 D1 d5\n"  // applied again
            "SB16 OFF\n"            // off: nothing
            "-MPU401 #card\n"       // clears it
            "SB16 P230\n"
            "/CONTROL SB16 parm2=2\n"
            "MPU401 P330\n"  // another card clears it
            "SB16 P240\n");
  EXPECT_EQ(card_settings(s), (std::vector<std::string>{"SB16 4 1 1", "SB16 4 1 1"}));
}

TEST(ControlLines, RunQueuesACommandForAfterActivation) {
  Startup s;
  auto r = s.audcore("", "/CONTROL run echo $ ~ >> ~/ran\nMPU401 P330 I9\nSB16 P220 I5 D1 d5\n");
  EXPECT_EQ(r.status, 0);
  const std::string dir = s.dir;
  EXPECT_EQ(kvltest::read_file(s.path("ran")), dir + " " + dir + "\n");  // run once only
}

TEST(ControlLines, QueueHoldsThreeHundredTwentyCommands) {
  Startup s;
  std::string text;
  for (int i = 1; i <= 321; i++)
    text += "/CONTROL run echo " + std::to_string(i) + " >> ~/ran\nSB16 OPNP\n";
  text += "SB16 P220 I5 D1 d5\n";
  auto r = s.audcore("", text);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Too many queued commands (at most 320), not queued: echo 321 >> " +
                       s.dir + "/ran\n");
  std::string expected;
  for (int i = 1; i <= 320; i++) expected += std::to_string(i) + "\n";
  EXPECT_EQ(kvltest::read_file(s.path("ran")), expected);
}

TEST(ControlLines, OverlongCommandIsRefusedNotCut) {
  Startup s;
  std::string longcmd = "echo " + std::string(1100, 'a') + " >> ~/ran";
  auto r = s.audcore("", "/CONTROL run " + longcmd + "\nSB16 P220 I5 D1 d5\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.err, HasSubstr("Command too long (over 1023 characters), not queued: echo aaa"));
  EXPECT_FALSE(kvltest::file_exists(s.path("ran")));
}

TEST(ControlLines, HugeCommandIsQuotedInTwoHundredCharacters) {
  Startup s;
  // 1 MB of "~", each to become the installation directory.
  auto r = s.audcore("-v", "/CONTROL run " + std::string(1 << 20, '~') + "\nSB16 P220 I5 D1 d5\n");
  EXPECT_EQ(r.status, 0);
  std::string dirs;
  while (dirs.size() < 200) dirs += s.dir;
  EXPECT_THAT(r.err, HasSubstr("not queued: " + dirs.substr(0, 200) + "...\n"));
  EXPECT_LT(r.err.size(), 1000u);
}

// audcore with a card configuration file on standard input, as audstart
// runs it with DIR/etc/devices.cfg.
kvltest::RunResult audcore_from_file(const Startup &s, const std::string &file,
                                     const std::string &word = "") {
  return s.run({"/bin/sh", "-c", "exec \"$0\" \"$@\" < \"$CONFIG\"", kvltest::bin("audcore"), word, s.dir},
               {"CONFIG=" + file});
}

TEST(ControlLines, RunLinesOnlyFromAFileOthersCannotChange) {
  const char *text =
      "/CONTROL run echo 1 >> ~/ran\nSB16 OPNP\n/CONTROL run echo 2 >> ~/ran\nSB16 P220 I5 D1 d5\n";
  enum Refusal { none, changeable, elsewhere };
  struct Case {
    const char *name;
    mode_t file_mode, folder_mode;
    bool linked;     // devices.cfg a link to a link of another user in a sticky
                     // folder, then to a root file beside devices.cfg
    bool fed_other;  // standard input a root file beside it, not devices.cfg
    Refusal refusal;
  } cases[] = {
      {"0644 in 0755", 0644, 0755, false, false, none},
      {"group-writable file", 0664, 0755, false, false, changeable},
      {"folder writable by others", 0644, 0757, false, false, changeable},
      {"through a link of another user", 0644, 0755, true, false, changeable},
      {"another file on standard input", 0644, 0755, false, true, elsewhere},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Startup s;
    std::string etc = s.path("etc"), file = s.path("etc/devices.cfg");
    std::filesystem::create_directories(etc);
    std::string written = file, fed = file;
    if (c.linked) {
      std::filesystem::create_directories(s.path("shared"));
      written = s.path("etc/real.cfg");
      std::filesystem::create_symlink(s.path("shared/hop"), file);
      std::filesystem::create_symlink(written, s.path("shared/hop"));
      ASSERT_EQ(lchown((s.path("shared/hop")).c_str(), 1234, 0), 0);
      ASSERT_EQ(chmod((s.path("shared")).c_str(), 01777), 0);
    }
    if (c.fed_other) {
      kvltest::write_file(file, "");
      written = fed = s.path("etc/other.cfg");
    }
    kvltest::write_file(written, text);
    ASSERT_EQ(chmod(written.c_str(), c.file_mode), 0);
    ASSERT_EQ(chmod(etc.c_str(), c.folder_mode), 0);
    auto r = audcore_from_file(s, fed);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\nKelvane started OK.\n");  // the rest of the file applies
    EXPECT_EQ(added(s).size(), 1u);
    if (c.refusal == none) {
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(kvltest::read_file(s.path("ran")), "1\n2\n");
    } else {
      EXPECT_EQ(r.err, c.refusal == changeable
                           ? "Not running commands from " + file + ": it can be changed by other users\n"
                           : "Not running commands from standard input: it is not " + file + "\n");
      EXPECT_FALSE(kvltest::file_exists(s.path("ran")));
    }
  }
}

TEST(ControlLines, RefusalStandsOnALineOfItsOwnInTheLog) {
  Startup s;
  std::string file = s.path("etc/devices.cfg");
  std::filesystem::create_directories(s.path("etc"));
  kvltest::write_file(file, "/CONTROL run echo 1\nSB16 P220 I5 D1 d5\n");
  ASSERT_EQ(chmod(file.c_str(), 0666), 0);
  auto r = audcore_from_file(s, file, "-v");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Configuring 3: SB16 P220 I5 D1 d5 device added \n"
                   "Not running commands from " + file + ": it can be changed by other users\n");
}

}  // namespace
