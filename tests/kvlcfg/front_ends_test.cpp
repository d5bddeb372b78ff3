// kvlcfg beside the configurator: one lock for both, and the same edit made
// on the configurator's screen and with kvlcfg gives the same files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../configurator/screen_fixture.h"
#include "kvlcfg_fixture.h"

using namespace kvltest;
using testing::HasSubstr;

namespace {

const char *kDisabledWarning = "Warning: some devices are disabled";

// The changes, each one that works on kTwoCards when no configurator runs.
const std::vector<std::vector<std::string>> kChanges = {
    {"secure", "on"},
    {"option", "softkvl_rate=48000"},
    {"set", "SB16", "SB16", "I7"},
    {"enable", "SB16", "OPL3"},
    {"disable", "SB16", "OPL3"},
    {"move", "2", "1"},
    {"remove", "1"},
    {"add", "SB16", "SB16 P240 I10 D3 d7", "MPU401 P300", "OPL3 OFF"},
    {"detect"},
    {"apply", "-"},
};

TEST(KvlcfgLock, ARunningConfiguratorRefusesEveryChange) {
  Kvl k(kTwoCards, kIsaMachine);
  Terminal t;
  ASSERT_TRUE(k.launch(t) && t.wait_for(kDisabledWarning)) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(Installed::drawn(t, kMenu) && settled(t)) << t.screen();
  const std::string refusal =
      "Another configurator is running (pid " + std::to_string(std::stol(k.read("etc/.audset.lock"))) + ")\n";
  auto before = k.files();
  for (auto args : kChanges) {
    for (bool dry : {false, true}) {
      std::vector<std::string> a = args;
      if (dry) a.push_back("--no-act");
      RunResult r = k.kvlcfg(a, kTwoCards);
      EXPECT_EQ(r.status, 1) << args[0] << (dry ? " --no-act" : "");
      EXPECT_EQ(r.err, refusal) << args[0];
      EXPECT_EQ(r.out, "") << args[0];
    }
  }
  EXPECT_EQ(k.files(), before);
  EXPECT_EQ(k.kvlcfg({"check"}).status, 0);  // reading needs no lock
  EXPECT_EQ(k.kvlcfg({"list"}).status, 0);

  ASSERT_TRUE(move_to(t, "Cancel changes and Exit")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  for (const auto &args : kChanges) {
    RunResult r = k.kvlcfg(args, kTwoCards);
    EXPECT_EQ(r.status, 0) << args[0] << "\n" << r.err;
  }
}

TEST(KvlcfgLock, ARunningChangeRefusesTheConfigurator) {
  Kvl k(kTwoCards, kIsaMachine);
  Terminal t;
  // kvlcfg apply takes the lock, then waits for the file on its terminal.
  ASSERT_TRUE(t.start({bin("kvlcfg"), "-d", k.dir, "apply", "-"}, k.env()));
  // The lock file names its holder once the lock is held.
  auto held = [&] { return file_exists(k.path("etc/.audset.lock")) && !k.read("etc/.audset.lock").empty(); };
  for (int i = 0; i < WAIT_MS / 10 && !held(); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(held()) << t.screen();
  RunResult second = k.audcore("c");
  EXPECT_EQ(second.status, 255);
  EXPECT_THAT(second.err, HasSubstr("Another configurator is running (pid "));
  EXPECT_FALSE(file_exists(k.path(".status")));  // the refused configurator touched nothing

  std::string cfg = kTwoCards;
  cfg.replace(cfg.find("I9"), 2, "I10");
  t.send(cfg + "\x04");
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0) << t.screen();
  EXPECT_THAT(k.read("etc/devices.cfg"), HasSubstr("MPU401 ON P330 I10\n"));
}

// The same edit on the configurator's screen and with kvlcfg, from the same
// installation: the files must be the same byte for byte.
struct Edit {
  const char *name;
  std::string config;                       // devices.cfg at the start ("": none)
  std::function<void(Terminal &, const Installed &)> on_screen;
  std::vector<std::string> kvlcfg;
};

// Past the rewrite's warning (when the configuration has disabled devices)
// to the main menu.
void to_menu(Terminal &t, const Installed &s, bool warned) {
  ASSERT_TRUE(s.launch(t)) << t.screen();
  if (warned) {
    ASSERT_TRUE(t.wait_for(kDisabledWarning)) << t.screen();
    t.press(Key::Enter);
  }
  ASSERT_TRUE(Installed::drawn(t, kMenu) && settled(t)) << t.screen();
}

void save(Terminal &t, bool warned) {
  ASSERT_TRUE(move_to(t, "Save changes and Exit")) << t.screen();
  t.press(Key::Enter);
  if (warned) {
    ASSERT_TRUE(t.wait_for(kDisabledWarning)) << t.screen();
    t.press(Key::Enter);
  }
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  ASSERT_EQ(t.exit_status(), 0);
}

TEST(KvlcfgFrontEnds, TheSameEditGivesTheSameFiles) {
  const Edit edits[] = {
      {"add a card with its defaults", "/SECUREAUDIO OFF\n",
       [](Terminal &t, const Installed &s) {
         to_menu(t, s, false);
         ASSERT_TRUE(choose(t, "Add new card/device", kAdd)) << t.screen();
         ASSERT_TRUE(move_to(t, "Sound Blaster 16 (jumper configured)")) << t.screen();
         t.press(Key::Enter);
         ASSERT_TRUE(sb16_defaults(t)) << t.screen();
         ASSERT_TRUE(settled(t));
         save(t, false);
       },
       {"add", "SB16"}},
      {"remove a card", kTwoCards,
       [](Terminal &t, const Installed &s) {
         to_menu(t, s, true);
         ASSERT_TRUE(choose(t, "Remove a card/device", "Select device to be removed")) << t.screen();
         ASSERT_TRUE(choose(t, "MPU-401 compatible MIDI interface", kMenu)) << t.screen();
         save(t, true);
       },
       {"remove", "2"}},
      {"an IRQ set by hand", kTwoCards,
       [](Terminal &t, const Installed &s) {
         to_menu(t, s, true);
         ASSERT_TRUE(choose(t, "Manual configuration", "Kelvane - Manual configuration")) << t.screen();
         ASSERT_TRUE(choose(t, "IRQ      = 5", "Select IRQ for Sound Blaster 16")) << t.screen();
         ASSERT_TRUE(choose(t, " 7 - May be free (not sure)", "Kelvane - Manual configuration",
                            "IRQ      = 7"))
             << t.screen();
         t.press(Key::Escape);
         ASSERT_TRUE(Installed::drawn(t, kMenu) && settled(t)) << t.screen();
         save(t, true);
       },
       {"set", "SB16", "SB16", "I7"}},
      {"secure audio", kTwoCards,
       [](Terminal &t, const Installed &s) {
         to_menu(t, s, true);
         ASSERT_TRUE(choose(t, "Security setup", "Security Setup")) << t.screen();
         ASSERT_TRUE(choose(t, "Disable read access to audio devices", kMenu)) << t.screen();
         save(t, true);
       },
       {"secure", "on"}},
      {"the first configuration's detection", "",
       [](Terminal &t, const Installed &s) {
         ASSERT_TRUE(s.launch(t)) << t.screen();
         ASSERT_TRUE(sb16_defaults(t)) << t.screen();
         ASSERT_TRUE(settled(t));
         save(t, false);
       },
       {"detect"}},
  };
  for (const Edit &e : edits) {
    Kvl screen(e.config, kIsaMachine), script(e.config, kIsaMachine);
    Terminal t(40, 80);
    e.on_screen(t, screen);
    if (testing::Test::HasFatalFailure()) {
      ADD_FAILURE() << e.name << "\n" << screen.err();
      return;
    }
    RunResult r = script.kvlcfg(e.kvlcfg);
    EXPECT_EQ(r.status, 0) << e.name << "\n" << r.err;
    for (const char *file : {"etc/devices.cfg", "etc/modules.cfg"})
      EXPECT_EQ(script.read(file), screen.read(file)) << e.name << ": " << file;
    EXPECT_EQ(script.status(), screen.status()) << e.name;
  }
}

}  // namespace
