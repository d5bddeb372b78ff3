// kvlcfg's changes end to end on the simulator: what each one saves, what a
// refused one leaves (every file as it was), and --no-act.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kvlcfg_fixture.h"

using namespace kvltest;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

const char *kSaved = "Saved DIR/etc/devices.cfg\nSaved DIR/etc/modules.cfg\n";
const char *kRemoved =
    "Removed DIR/etc/dspdevs.map: the audio devices are numbered afresh at the next start\n";
const char *kRefused = "kvlcfg: nothing saved (--force saves despite the problems)\n";

std::vector<std::string> card_keys(const Kvl &k) {
  std::vector<std::string> keys;
  nlohmann::json list = k.json({"list"});
  for (const auto &c : list["cards"]) keys.push_back(c["key"]);
  return keys;
}

// The text of one file in --no-act output.
std::string shown(const std::string &out, const std::string &rel) {
  std::string head = "==> " + rel + " <==\n";
  size_t at = out.find(head);
  if (at == std::string::npos) return "(not shown)";
  at += head.size();
  size_t end = out.find("==> ", at);
  return out.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

TEST(KvlcfgAdd, WithWordsAndWithDefaults) {
  const std::string head = "# Use audset to edit this file.\n/SECUREAUDIO OFF\n"
                           "-SB16 #Sound Blaster 16 (jumper configured)\n";
  struct Case {
    std::vector<std::string> args;
    std::string lines;  // the card's device lines as saved
  } cases[] = {
      {{"add", "SB16"}, "OPL3 ON P388\nMPU401 ON P330\nSB16 ON P220 I5 D1 d5\n"},
      {{"add", "SB16", "SB16", "P240", "I7", "D3", "d7", "MPU401", "P300", "OPL3", "OFF"},
       "OPL3 OFF\nMPU401 ON P300\nSB16 ON P240 I7 D3 d7\n"},
      {{"add", "SB16", "SB16 P260 I10", "MPU401 OFF"}, "OPL3 ON P388\nMPU401 OFF\nSB16 ON P260 I10 D1 d5\n"},
  };
  for (const Case &c : cases) {
    Kvl k("/SECUREAUDIO OFF\n");
    k.write("etc/dspdevs.map", "0 \n");
    RunResult r = k.kvlcfg(c.args);
    EXPECT_EQ(r.status, 0) << c.args.size() << "\n" << r.err;
    EXPECT_EQ(k.scrub(r.out), kSaved + std::string(kRemoved));
    EXPECT_EQ(k.read("etc/devices.cfg"), head + c.lines + "#NEEDS_ISA\n");
    EXPECT_EQ(k.read("etc/modules.cfg"), k.json({"dump"})["files"]["etc/modules.cfg"]);
    EXPECT_EQ(k.status(), "AUDSET_OK\n");
    EXPECT_FALSE(file_exists(k.path("etc/dspdevs.map")));
    EXPECT_EQ(k.kvlcfg({"check"}).status, 0) << k.kvlcfg({"check"}).err;
  }
}

TEST(KvlcfgAdd, RefusedQuestionsLeaveEveryFile) {
  Kvl k(kTwoCards);
  k.write("etc/dspdevs.map", "0 \n");
  auto before = k.files();
  RunResult r = k.kvlcfg({"add", "SB16"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_THAT(r.err, StartsWith("etc/devices.cfg: card 3 SB16, device SB16: I/O port 220 is taken by "
                                "card 1 SB16, device SB16\n"
                                "    Select I/O port for Sound Blaster 16 (jumper configured):\n"
                                "      220 - (SB16)\n"
                                "      240 - May be free (not sure)\n"));
  EXPECT_THAT(r.err, HasSubstr("etc/devices.cfg: card 3 SB16, device MPU401: I/O port 330 is taken by "
                               "card 2 MPU401, device MPU401\n"));
  EXPECT_THAT(r.err, testing::EndsWith(kRefused));
  EXPECT_EQ(k.files(), before);

  // The words answer the questions: the card goes in.
  r = k.kvlcfg({"add", "SB16", "SB16", "P240", "I7", "D0", "d6", "MPU401", "P300", "OPL3", "OFF"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(card_keys(k), (std::vector<std::string>{"SB16", "MPU401", "SB16"}));

  // The JSON of a refusal holds the question and its choices.
  before = k.files();
  nlohmann::json j = k.json({"add", "MPU401"});
  EXPECT_EQ(j["status"], 1);
  EXPECT_EQ(j["saved"], false);
  ASSERT_GE(j["problems"].size(), 1u);
  EXPECT_EQ(j["problems"][0]["question"], "Select I/O port for MPU-401 compatible MIDI interface");
  EXPECT_EQ(j["problems"][0]["choices"][2]["value"], 0x310);
  EXPECT_EQ(j["problems"][0]["choices"][2]["text"], "310 - May be free (not sure)");
  EXPECT_EQ(k.files(), before);
}

TEST(KvlcfgAdd, CardsTheConfiguratorWouldNotAdd) {
  Kvl k(kTwoCards);
  auto before = k.files();
  RunResult r = k.kvlcfg({"add", "CTL0044"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kvlcfg: CTL0044 is a plug-and-play or PCI card, which the driver finds: use "
                   "'kvlcfg detect'\n");
  r = k.kvlcfg({"add", "MPU401", "MPU401", "OFF"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kvlcfg: card 3 MPU401, device MPU401: Can't disable this device\n");
  EXPECT_EQ(k.files(), before);
  // With no driver to find them, they are added by hand, as in the configurator.
  ASSERT_EQ(k.machine.kvlsim("unload").status, 0);
  r = k.kvlcfg({"add", "ES1371"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(k.read("etc/devices.cfg"), HasSubstr("-ES1371 #Ensoniq AudioPCI 97 (ES1371/ES1373)\n"));

  std::string ten;
  for (int i = 0; i < 10; i++) ten += "-ES1371\n";
  Kvl full(ten);
  before = full.files();
  r = full.kvlcfg({"add", "SB16"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kvlcfg: Too many devices (at most 10 cards)\n");
  EXPECT_EQ(full.files(), before);
}

TEST(KvlcfgChange, RemoveAndMoveWithAndWithoutNoAct) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> keys;
  } cases[] = {
      {{"remove", "2"}, {"SB16", "CTL0044", "ES1371", "ICH5"}},
      {{"remove", "MPU401"}, {"SB16", "CTL0044", "ES1371", "ICH5"}},
      {{"move", "1", "3"}, {"MPU401", "CTL0044", "SB16", "ES1371", "ICH5"}},
      {{"move", "5", "1"}, {"ICH5", "SB16", "MPU401", "CTL0044", "ES1371"}},
  };
  for (const Case &c : cases) {
    Kvl k;
    k.write("etc/dspdevs.map", "0 1 \n");
    auto before = k.files();
    std::vector<std::string> dry = c.args;
    dry.push_back("--no-act");
    RunResult r = k.kvlcfg(dry);
    EXPECT_EQ(r.status, 0) << c.args[0] << "\n" << r.err;
    EXPECT_EQ(k.files(), before) << c.args[0];
    EXPECT_FALSE(file_exists(k.path("etc/.audset.lock")));
    EXPECT_THAT(r.out, HasSubstr("etc/dspdevs.map would be removed\n"));

    RunResult real = k.kvlcfg(c.args);
    EXPECT_EQ(real.status, 0) << real.err;
    EXPECT_EQ(k.scrub(real.out), kSaved + std::string(kRemoved));
    EXPECT_EQ(card_keys(k), c.keys) << c.args[0];
    // --no-act showed what was then written.
    EXPECT_EQ(shown(r.out, "etc/devices.cfg"), k.read("etc/devices.cfg"));
    EXPECT_EQ(shown(r.out, "etc/modules.cfg"), k.read("etc/modules.cfg"));
    EXPECT_FALSE(file_exists(k.path("etc/dspdevs.map")));
  }
}

TEST(KvlcfgChange, DevicesAndSettings) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string saved_line;  // a line the saved devices.cfg holds
    std::string err;         // the start of standard error
  } cases[] = {
      {{"set", "SB16", "SB16", "I7"}, 0, "SB16 ON P220 I7 D1 d5\n", ""},
      {{"set", "1", "SB16", "P240 D0"}, 1, "",
       "etc/devices.cfg:18: card 3 CTL0044, device SB16: I/O port 240 is taken by card 1 SB16, device "
       "SB16\n"},
      // Cards are checked in list order: the SB16's FM synthesizer and MIDI
      // port, switched on, hold their ports before the later cards ask.
      {{"enable", "SB16", "OPL3"}, 1, "",
       "etc/devices.cfg:15: card 3 CTL0044, device OPL3: I/O port 388 is taken by card 1 SB16, "
       "device OPL3\n"},
      {{"enable", "SB16", "MPU401"}, 1, "",
       "etc/devices.cfg:10: card 2 MPU401, device MPU401: I/O port 330 is taken by card 1 SB16, "
       "device MPU401\n"},
      {{"disable", "CTL0044", "SB16"}, 1, "",
       "kvlcfg: card 3 CTL0044, device SB16: Can't disable this device\n"},
      {{"disable", "MPU401", "MPU401"}, 1, "",
       "kvlcfg: card 2 MPU401, device MPU401: Can't disable this device\n"},
      {{"disable", "CTL0044", "OPL3"}, 0, "OPL3 OFF\n", ""},
      {{"enable", "SB16", "SB16"}, 0, "SB16 ON P220 I5 D1 d5\n", ""},
      {{"secure", "on"}, 0, "/SECUREAUDIO ON\n", ""},
      // A later card's fixed port is taken from the card that holds it.
      {{"add", "SB16", "SB16 P260 I7 D3 d7", "MPU401 OFF"}, 1, "",
       "etc/devices.cfg:15: card 3 CTL0044, device OPL3: I/O port 388 was taken by card 6 SB16, "
       "device OPL3, whose value is fixed\n"},
  };
  for (const Case &c : cases) {
    Kvl k;
    k.write("etc/dspdevs.map", "0 1 \n");
    auto before = k.files();
    RunResult r = k.kvlcfg(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args[1] << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args[0];
    if (c.status != 0) {
      EXPECT_EQ(k.files(), before);
      continue;
    }
    EXPECT_EQ(k.scrub(r.out), kSaved);
    EXPECT_THAT(k.read("etc/devices.cfg"), HasSubstr(c.saved_line));
    EXPECT_EQ(k.read("etc/dspdevs.map"), "0 1 \n");  // the same cards: the routing holds
  }
}

TEST(KvlcfgOption, ShownSetAndUnset) {
  Kvl k(kTwoCards);
  k.write("etc/options.cfg", "pnp_reset=1\nsoftkvl_rate=44100\nnoequals\n");
  RunResult r = k.kvlcfg({"option", "softkvl_rate"});
  EXPECT_EQ(r.out, "softkvl_rate=44100\n");
  r = k.kvlcfg({"option", "softkvl_rate=48000", "--no-act"});
  EXPECT_EQ(r.out, "==> etc/options.cfg <==\npnp_reset=1\nsoftkvl_rate=48000\n");
  EXPECT_EQ(k.read("etc/options.cfg"), "pnp_reset=1\nsoftkvl_rate=44100\nnoequals\n");
  // In table order, as the options editor saves; the line start-up refuses goes.
  r = k.kvlcfg({"option", "trace_init=1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(k.scrub(r.out), "Saved DIR/etc/options.cfg\n");
  EXPECT_EQ(r.err, "etc/options.cfg:3: note: Invalid line: 'noequals': dropped\n");
  EXPECT_EQ(k.read("etc/options.cfg"), "trace_init=1\npnp_reset=1\nsoftkvl_rate=44100\n");
  EXPECT_EQ(k.status(), "AUDSET_OK\n");
  ASSERT_EQ(k.kvlcfg({"option", "pnp_reset="}).status, 0);
  EXPECT_EQ(k.read("etc/options.cfg"), "trace_init=1\nsoftkvl_rate=44100\n");
  EXPECT_EQ(k.kvlcfg({"option", "pnp_reset"}).out, "pnp_reset (not set)\n");
  nlohmann::json j = k.json({"option", "softkvl_rate"});
  EXPECT_EQ(j["set"], true);
  EXPECT_EQ(j["value"], 44100);
}

TEST(KvlcfgApply, ConflictingRefusedCleanSaved) {
  Kvl k;
  k.write("etc/dspdevs.map", "0 1 \n");
  auto before = k.files();
  const std::string file = k.scratch / "from-elsewhere.cfg";
  write_file(file, "-SB16\nOPL3 OFF\nMPU401 OFF\nSB16 ON P220 I5 D1 d5\n-MPU401\nMPU401 ON P330 I5\n-NOSUCH\n");
  RunResult r = k.kvlcfg({"apply", file});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(0, r.err.find("    ")),
            file + ":6: card 2 MPU401, device MPU401: IRQ 5 is taken by card 1 SB16, device SB16\n");
  EXPECT_THAT(r.err, HasSubstr(file + ":7: Card 'NOSUCH' not found in database (the line is not used)\n"));
  EXPECT_THAT(r.err, testing::EndsWith(kRefused));
  EXPECT_EQ(k.files(), before);

  // The same file, forced: saved as a save writes it, the problems told.
  r = k.kvlcfg({"apply", file, "--force"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.err, HasSubstr("kvlcfg: saved despite the problems above (--force)\n"));
  EXPECT_EQ(card_keys(k), (std::vector<std::string>{"SB16", "MPU401"}));
  EXPECT_FALSE(file_exists(k.path("etc/dspdevs.map")));  // other cards: the routing goes

  // A clean one from standard input; the same cards keep the routing.
  k.write("etc/dspdevs.map", "0 \n");
  r = k.kvlcfg({"apply", "-"}, kTwoCards);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(k.scrub(r.out), kSaved);
  Kvl fresh(kTwoCards);
  EXPECT_EQ(k.read("etc/devices.cfg"), fresh.kvlcfg({"dump"}).out);
  EXPECT_EQ(k.read("etc/dspdevs.map"), "0 \n");
  EXPECT_EQ(k.kvlcfg({"check"}).status, 0);
}

TEST(KvlcfgDetect, FirstConfigurationWithoutAScreen) {
  Kvl k("");
  RunResult r = k.kvlcfg({"detect", "--no-act"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("==> logs/pnpres.dat <==\nResources for PnP card #0 (CTL0044)\n"));
  EXPECT_FALSE(file_exists(k.path("etc/devices.cfg")));
  EXPECT_FALSE(file_exists(k.path("logs/pnpres.dat")));
  r = k.kvlcfg({"detect"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(k.scrub(r.out), kSaved);
  EXPECT_EQ(card_keys(k), (std::vector<std::string>{"CTL0044", "ES1371", "ICH5"}));
  std::string cfg = k.read("etc/devices.cfg");
  EXPECT_THAT(cfg, HasSubstr("/IRQEXCLUDE 3 4\n/DMAEXCLUDE 2\n"));
  EXPECT_THAT(cfg, HasSubstr("SB16 OPNP P220 I5 D1 d5\n"));  // the factory defaults
  EXPECT_THAT(k.read("logs/pnpres.dat"), StartsWith("Resources for PnP card #0 (CTL0044)\n"));
  EXPECT_TRUE(k.started()) << k.read("logs/audstart.log");

  // The older ISA cards, found by their drivers' probes at their ports.
  Kvl isa("", R"({"drivers": [{"name": "MPU401", "key": 4}],
                  "isa": [{"card": "MPU401", "driver": "MPU401", "port": "0x300", "irq": 2}]})");
  r = isa.kvlcfg({"detect"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(isa.read("etc/devices.cfg"), HasSubstr("-MPU401 #MPU-401 compatible MIDI interface\n"
                                                     "MPU401 ON P300 I2\n"));
  EXPECT_TRUE(isa.started()) << isa.read("logs/audstart.log");

  ASSERT_EQ(k.machine.kvlsim("unload").status, 0);
  auto before = k.files();
  r = k.kvlcfg({"detect"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kvlcfg: no driver answers on /dev/mixer0: nothing can be detected\n");
  EXPECT_EQ(k.files(), before);
}

}  // namespace

namespace {

// As the configurator keeps it before its rewrite: a file with lines a save
// drops or changes is kept as devices.cfg.old; one in the program's own
// form is not; apply keeps the configuration it replaces.
TEST(KvlcfgChange, LinesASaveDropsAreKeptBesideIt) {
  const std::string hand = "# the studio's sound card\n" + std::string(kTwoCards);
  Kvl k(hand);
  RunResult r = k.kvlcfg({"secure", "on"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(k.scrub(r.err), "The rewrite of DIR/etc/devices.cfg drops or changes lines; the file as "
                            "read is kept as DIR/etc/devices.cfg.old\n");
  EXPECT_EQ(k.read("etc/devices.cfg.old"), hand);

  std::filesystem::remove(k.path("etc/devices.cfg.old"));
  r = k.kvlcfg({"secure", "off"});  // the file is now in the program's own form
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(file_exists(k.path("etc/devices.cfg.old")));

  const std::string before = k.read("etc/devices.cfg");
  r = k.kvlcfg({"apply", "-"}, demo_config());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(k.scrub(r.err), "The configuration DIR/etc/devices.cfg held is kept as "
                            "DIR/etc/devices.cfg.old\n");
  EXPECT_EQ(k.read("etc/devices.cfg.old"), before);
}

}  // namespace
