// kvlcfg's reading commands end to end on the simulator: check on the demo
// installation and on one configuration for each kind of problem, list and
// dump, and the command line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "kvlcfg_fixture.h"

using namespace kvltest;
using testing::HasSubstr;

namespace {

const std::string kDemoNotes =
    "etc/devices.cfg:5: note: card 1 SB16, device OPL3 is disabled\n"
    "etc/devices.cfg:6: note: card 1 SB16, device MPU401 is disabled\n";
const std::string kTwoCardsNotes =
    "etc/devices.cfg:3: note: card 1 SB16, device OPL3 is disabled\n"
    "etc/devices.cfg:4: note: card 1 SB16, device MPU401 is disabled\n";

TEST(KvlcfgCheck, DemoInstallationIsClean) {
  Kvl k;
  for (bool started : {false, true}) {
    if (started) {
      ASSERT_TRUE(k.started()) << k.read("logs/audstart.log");
    }
    auto before = k.files();
    RunResult r = k.kvlcfg({"check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, kDemoNotes);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(k.files(), before);  // nothing is written
    nlohmann::json j = k.json({"check"});
    ASSERT_TRUE(j.is_object());
    EXPECT_EQ(j["ok"], true);
    EXPECT_EQ(j["problems"].size(), 0u);
    ASSERT_EQ(j["notes"].size(), 2u);
    EXPECT_EQ(j["notes"][1]["line"], 6);
    EXPECT_EQ(j["notes"][1]["text"], "card 1 SB16, device MPU401 is disabled");
  }
}

// A configuration saved by kvlcfg itself is as clean as the check says.
TEST(KvlcfgCheck, WhatASaveWritesChecksClean) {
  Kvl k(kTwoCards);
  ASSERT_EQ(k.kvlcfg({"secure", "off"}).status, 0);
  RunResult r = k.kvlcfg({"check"});
  EXPECT_EQ(r.status, 0) << r.err;
}

std::string with_line(std::string text, int line, const std::string &replacement) {
  size_t at = 0;
  for (int n = 1; n < line; n++) at = text.find('\n', at) + 1;
  return text.replace(at, text.find('\n', at) - at, replacement);
}

TEST(KvlcfgCheck, EachKindOfProblemIsOneLine) {
  const std::string sscape = "-SSCAPE #Ensoniq SoundScape (see README.sscape)\n"
                             "SSCAPE ON P330 I9 D3\n"
                             "WSS ON P534 I7 D1\n";
  struct Case {
    const char *name;
    std::string config;
    std::map<std::string, std::string> files;
    bool start;  // the drivers are started before the check
    std::string err;
  } cases[] = {
      {"unknown card", kTwoCards + std::string("-NOSUCH #No such card\nSB16 ON P240\n"), {}, false,
       kTwoCardsNotes + "etc/devices.cfg:8: Card 'NOSUCH' not found in database (the line is not used)\n"},
      {"eleventh card", [] { std::string t; for (int i = 0; i < 11; i++) t += "-ES1371\n"; return t; }(),
       {}, false, "etc/devices.cfg:11: Too many devices (the line is not used)\n"},
      {"conflict", with_line(kTwoCards, 7, "MPU401 ON P330 I5"), {}, false,
       kTwoCardsNotes +
           "etc/devices.cfg:7: card 2 MPU401, device MPU401: IRQ 5 is taken by card 1 SB16, device SB16\n"},
      {"not in the database's list", with_line(kTwoCards, 5, "SB16 ON P225 I5 D1 d5"), {}, false,
       kTwoCardsNotes + "etc/devices.cfg:5: card 1 SB16, device SB16: I/O port 225 is not one the "
                        "database allows (220..280 by 20)\n"},
      {"no free value", kTwoCards + std::string("/IRQEXCLUDE 2 5 7 10\n"), {}, false,
       kTwoCardsNotes + "etc/devices.cfg:5: card 1 SB16, device SB16: IRQ 5 is excluded "
                        "(/IRQEXCLUDE); no value is free\n"},
      {"firmware missing", sscape, {}, false,
       "etc/devices.cfg:1: card 1 SSCAPE: firmware file DIR/etc/sndscape.cod: No such file or "
       "directory\n"},
      {"firmware unreadable", sscape + "SSCAPE $LOADBIN DIR/etc\n", {}, false,
       "etc/devices.cfg:4: card 1 SSCAPE: firmware file DIR/etc: Is a directory\n"},
      {"modules.cfg", kTwoCards, {{"etc/modules.cfg", "sb16\n"}}, false,
       kTwoCardsNotes + "etc/modules.cfg:1: not what a save writes: 'sb16', where a save writes 'opl3'\n"},
      {"options.cfg", kTwoCards, {{"etc/options.cfg", "softkvl_rate=48000\nnoequals\nbogus=1\n"}}, false,
       kTwoCardsNotes + "etc/options.cfg:2: Invalid line: 'noequals'\n"
                        "etc/options.cfg:3: Unrecognized option name: 'bogus'\n"},
      {"mixer.map levels", kTwoCards, {{"etc/mixer.map", "!mixset vol=75\nSB16mixer 1 2 3\n"}}, false,
       kTwoCardsNotes + "etc/mixer.map:2: Invalid line in mixer.map (SB16mixer): a level is missing "
                        "or not 1 to 4 hexadecimal digits; start-up sends no levels from here on\n"},
      {"dspdevs.map", kTwoCards, {{"etc/dspdevs.map", "0 \nx\n"}}, false,
       kTwoCardsNotes + "etc/dspdevs.map:2: Bad info in dspdevs.map: a word is not a number ('x'); "
                        "start-up sends no routing\n"},
      {"card not initialised", with_line(kTwoCards, 5, "SB16 ON P220 I7 D1 d5"), {}, true,
       kTwoCardsNotes + "etc/devices.cfg:5: card 1 SB16, device SB16 did not initialise (driver SB16, "
                        "port 220)\n"},
      {"routing the driver lacks", kTwoCards, {{"etc/dspdevs.map", "0 3 \n"}}, true,
       kTwoCardsNotes + "etc/dspdevs.map:1: audio device 3: the driver's audio devices are 0..0\n"},
  };
  for (const Case &c : cases) {
    Kvl k("");
    std::string config = c.config;
    for (size_t at; (at = config.find("DIR")) != std::string::npos;) config.replace(at, 3, k.dir);
    k.write("etc/devices.cfg", config);
    if (c.start) {
      ASSERT_EQ(k.tool("audstart").status, 0) << c.name;
    }
    for (const auto &[rel, text] : c.files) k.write(rel, text);
    auto before = k.files();
    RunResult r = k.kvlcfg({"check"});
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(k.scrub(r.err), c.err) << c.name;
    EXPECT_EQ(k.files(), before) << c.name;
    nlohmann::json j = k.json({"check"});
    EXPECT_EQ(j["ok"], false) << c.name;
    EXPECT_GE(j["problems"].size(), 1u) << c.name;
  }
}

TEST(KvlcfgCheck, CommandsOfAMixerMapOthersCanChange) {
  Kvl k(kTwoCards);
  k.write("etc/mixer.map", "!mixset vol=75\n");
  ASSERT_EQ(k.kvlcfg({"check"}).status, 0);
  ASSERT_EQ(chmod(k.path("etc/mixer.map").c_str(), 0666), 0);
  RunResult r = k.kvlcfg({"check"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kTwoCardsNotes +
                       "etc/mixer.map: its commands are not run: it can be changed by other users\n");
}

TEST(KvlcfgCheck, NoConfigurationYet) {
  Kvl k("");
  RunResult r = k.kvlcfg({"check"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "etc/devices.cfg: No such file or directory: no configuration yet\n");
  std::filesystem::create_directory(k.path("etc/devices.cfg"));
  r = k.kvlcfg({"check"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(k.scrub(r.err), "DIR/etc/devices.cfg: Is a directory\n");
}

TEST(KvlcfgList, CardsAsTheManualConfigurationShowsThem) {
  Kvl k;
  RunResult r = k.kvlcfg({"list"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Card 1 SB16: Sound Blaster 16 (jumper configured)\n"
            "      Device OPL3: FM synthesizer (DISABLED)\n"
            "      Device MPU401: MIDI port (DISABLED)\n"
            "      Device SB16: Sound Blaster 16 digital audio (enabled)\n"
            "         I/O port = 220\n"
            "         IRQ      = 5\n"
            "         DMA (A)  = 1\n"
            "         DMA (B)  = 5\n"
            "Card 2 MPU401: MPU-401 compatible MIDI interface\n"
            "      Device MPU401: MIDI interface (enabled)\n"
            "         I/O port = 330\n"
            "         IRQ      = 9\n"
            "Card 3 CTL0044: Sound Blaster AWE32 (PnP)\n"
            "      Device OPL3: FM synthesizer (enabled)\n"
            "         I/O port = 388\n"
            "      Device MPU401: MIDI port (enabled)\n"
            "         I/O port = 300\n"
            "      Device AWE: Wavetable synthesizer (enabled)\n"
            "      Device SB16: Sound Blaster 16 digital audio (enabled)\n"
            "         I/O port = 240\n"
            "         IRQ      = 10\n"
            "         DMA (A)  = 0\n"
            "         DMA (B)  = 6\n"
            "Card 4 ES1371: Ensoniq AudioPCI 97 (ES1371/ES1373)\n"
            "      PnP device - No manually configurable resources\n"
            "Card 5 ICH5: Intel ICH5 AC97 audio\n"
            "      PnP device - No manually configurable resources\n"
            "Secure audio: off\n");
  nlohmann::json j = k.json({"list"});
  ASSERT_EQ(j["cards"].size(), 5u);
  const nlohmann::json &sb = j["cards"][0];
  EXPECT_EQ(sb["key"], "SB16");
  EXPECT_EQ(sb["devices"][0]["enabled"], false);
  EXPECT_EQ(sb["devices"][0]["values"][0]["value"], 0x388);
  EXPECT_EQ(sb["devices"][0]["values"][0]["fixed"], true);
  EXPECT_EQ(sb["devices"][2]["values"][3]["value"], 5);
  EXPECT_EQ(sb["devices"][2]["values"][3]["text"], "DMA (B)  = 5");
  EXPECT_EQ(j["cards"][3]["pnp_resources"], true);
  EXPECT_EQ(j["secure_audio"], false);

  // An unassigned value and a firmware file.
  Kvl f("-SSCAPE\nSSCAPE ON I9 D3\n");
  r = f.kvlcfg({"list"});
  EXPECT_THAT(f.scrub(r.out), HasSubstr("Card 1 SSCAPE: Ensoniq SoundScape (see README.sscape)\n"
                                        "      Download file: DIR/etc/sndscape.cod\n"
                                        "      Device SSCAPE: SoundScape wavetable and MIDI (enabled)\n"
                                        "         I/O port = not assigned\n"));
}

TEST(KvlcfgDump, WhatASaveWrites) {
  Kvl k("# an old comment\n" + std::string(kTwoCards));
  RunResult r = k.kvlcfg({"dump"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "# Use audset to edit this file.\n/SECUREAUDIO OFF\n"
            "-SB16 #Sound Blaster 16 (jumper configured)\n"
            "OPL3 OFF\nMPU401 OFF\nSB16 ON P220 I5 D1 d5\n#NEEDS_ISA\n"
            "-MPU401 #MPU-401 compatible MIDI interface\nMPU401 ON P330 I9\n#NEEDS_ISA\n");
  nlohmann::json j = k.json({"dump"});
  EXPECT_EQ(j["files"]["etc/devices.cfg"], r.out);
  // A save writes the same pair.
  ASSERT_EQ(k.kvlcfg({"secure", "off"}).status, 0);
  EXPECT_EQ(k.read("etc/devices.cfg"), r.out);
  EXPECT_EQ(k.read("etc/modules.cfg"), j["files"]["etc/modules.cfg"]);
}

TEST(KvlcfgCommandLine, UsageAndTheInstallationDirectory) {
  Kvl k(kTwoCards);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err_start;
  } cases[] = {
      {{}, 2, "kvlcfg: no command given\n"},
      {{"frobnicate"}, 2, "kvlcfg: unknown command 'frobnicate'\n"},
      {{"list", "--colour"}, 2, "kvlcfg: unknown option '--colour'\n"},
      {{"move", "1"}, 2, "kvlcfg: wrong number of arguments for 'move'\n"},
      {{"-d"}, 2, "kvlcfg: -d needs a directory\n"},
      {{"add", "NOSUCH"}, 2, "kvlcfg: Card 'NOSUCH' not found in database\n"},
      {{"set", "SB16", "SB16", "P22x"}, 2, "kvlcfg: card 1 SB16: 'P22x': not a hexadecimal port\n"},
      {{"set", "SB16", "SB16", "i7"}, 2, "kvlcfg: card 1 SB16: 'i7': the device has no second IRQ\n"},
      {{"add", "SB16", "P220"}, 2, "kvlcfg: card 3 SB16: 'P220': the card has no such device\n"},
      {{"secure", "maybe"}, 2, "kvlcfg: secure takes on or off\n"},
      {{"option", "nosuch=1"}, 2, "kvlcfg: Unrecognized option name: 'nosuch'\n"},
      {{"option", "softkvl_rate=fast"}, 2, "kvlcfg: 'fast' is not a number"},
      {{"move", "1", "x"}, 2, "kvlcfg: 'x' is not a position\n"},
      {{"remove", "7"}, 1, "kvlcfg: no card at position 7 (the list has 2)\n"},
      {{"remove", "ES1371"}, 1, "kvlcfg: no card ES1371 is configured\n"},
      {{"disable", "MPU401", "MPU401"}, 1,
       "kvlcfg: card 2 MPU401, device MPU401: Can't disable this device\n"},
      {{"enable", "SB16", "AWE"}, 1, "kvlcfg: card 1 SB16 has no device AWE to configure\n"},
  };
  auto before = k.files();
  for (const Case &c : cases) {
    std::vector<std::string> argv = {bin("kvlcfg")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    if (c.args.empty() || c.args[0] != "-d") argv.insert(argv.begin() + 1, {"-d", k.dir});
    RunResult r = k.run(argv);
    std::string what = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(r.status, c.status) << what << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, c.err_start.size()), c.err_start) << what;
    EXPECT_EQ(r.out, "") << what;
  }
  EXPECT_EQ(k.files(), before);

  // Without -d, the installation that /etc/kvl.conf names.
  RunResult r = k.run({bin("kvlcfg"), "list"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("Card 2 MPU401: "));
  k.write_kvl_conf("# nothing\n");
  r = k.run({bin("kvlcfg"), "list"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "kvlcfg: Error: KVLLIBDIR not set in /etc/kvl.conf\n");
}

}  // namespace
