// audcore's configurator mode end to end: on a pseudo-terminal against a
// simulated machine, with an installation built from the package's data.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "screen_fixture.h"

using namespace kvltest;
using kvltest::Key;
using kvltest::Terminal;
using testing::HasSubstr;
using testing::Not;

namespace {

TEST(ConfiguratorScreen, NoConfigurationAndNoDriver) {
  Installed s;
  ASSERT_EQ(s.machine.kvlsim("unload").status, 0);
  Terminal t;
  ASSERT_TRUE(s.start(t, kAdd)) << t.screen();  // the add dialog at once
  EXPECT_TRUE(on_screen(t, "NOTE! PnP and PCI devices cannot be added manually")) << t.screen();
  // Plug-and-play and PCI cards are offered: no driver finds them.
  ASSERT_TRUE(move_to(t, "(PnP)")) << t.screen();
  ASSERT_TRUE(move_to(t, "PCI")) << t.screen();
  t.press(Key::Escape);
  ASSERT_TRUE(Installed::drawn(t, kMenu)) << t.screen();
  EXPECT_TRUE(on_screen(t, "ERROR! No devices defined yet.")) << t.screen();
  EXPECT_FALSE(on_screen(t, "Autodetect soundcards")) << t.screen();
  EXPECT_FALSE(on_screen(t, "Reorder card list")) << t.screen();
  EXPECT_EQ(s.status(), "AUDSET\n");
  t.press(Key::Enter);  // "Save changes and Exit"
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
  EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("/IRQEXCLUDE 3 4\n"));
  EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("/DMAEXCLUDE 2\n"));
  EXPECT_EQ(s.status(), "AUDSET_OK\n");
  EXPECT_EQ(s.err(), "No earlier configuration detected\n");
  EXPECT_TRUE(s.machine.request_names().empty());  // no driver, no request
}

TEST(ConfiguratorScreen, ConfigurationIsRewrittenAtOnceAndOneConfiguratorRuns) {
  Installed s;
  kvltest::write_file(s.path("etc/devices.cfg"), "# An old comment\n" + kSb16 + kMpu);
  Terminal t;
  ASSERT_TRUE(s.start(t, kMenu)) << t.screen();
  std::string rewritten = s.read("etc/devices.cfg");
  EXPECT_THAT(rewritten, Not(HasSubstr("An old comment")));
  EXPECT_THAT(rewritten, HasSubstr("-SB16 #Sound Blaster 16 (jumper configured)\n"));
  EXPECT_TRUE(s.machine.journal_size() > 0);
  std::vector<std::string> want = kHandshake;
  want.push_back("get PCI IRQs");
  EXPECT_EQ(s.machine.request_names(), want);
  // Two cards: the menu offers reordering, and its card lines name both.
  EXPECT_TRUE(on_screen(t, "Reorder card list")) << t.screen();
  EXPECT_TRUE(on_screen(t, "Sound Blaster 16 (jumper configured)")) << t.screen();

  auto second = s.audcore("c");
  EXPECT_EQ(second.status, 255);
  EXPECT_THAT(second.err, HasSubstr("Another configurator is running (pid "));
  EXPECT_EQ(s.status(), "AUDSET\n");  // the second one touched nothing
  EXPECT_EQ(s.machine.request_names(), want);

  // Escape leaves the menu with the first item current.
  t.press(Key::Down, 3);
  ASSERT_TRUE(t.wait_until([&] { return highlighted(t).second.find("Remove a card/device") !=
                                        std::string::npos; }))
      << t.screen();
  t.press(Key::Escape);
  ASSERT_TRUE(t.wait_until([&] { return highlighted(t).second.find("Save changes and Exit") !=
                                        std::string::npos; }))
      << t.screen();
  ASSERT_TRUE(move_to(t, "Cancel changes and Exit")) << t.screen() << s.err();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
  EXPECT_EQ(s.status(), "AUDSET_OK\n");
  EXPECT_EQ(s.read("etc/devices.cfg"), rewritten);  // kept, though cancelled
  EXPECT_EQ(s.machine.request_names(), want);
}

// With standard error on the terminal, the run's own messages never land on
// the dialogs: they follow the screen's end, in the order they were written.
// With standard error in a file, the file holds the same lines.
TEST(ConfiguratorScreen, MessagesOfTheRunFollowTheScreen) {
  for (bool on_terminal : {true, false}) {
    Installed s;
    kvltest::write_file(s.path("etc/devices.cfg"), kSb16 + "-NOSUCH\n");
    Terminal t;
    ASSERT_TRUE(s.launch(t, {}, on_terminal) && Installed::drawn(t, kMenu)) << t.screen();
    ASSERT_TRUE(edit_option(t, "softkvl_rate")) << t.screen();
    EXPECT_FALSE(on_screen(t, "not found in database") || on_screen(t, "Some card lines") ||
                 on_screen(t, "Edit "))
        << t.screen();
    t.press(Key::Escape);
    ASSERT_TRUE(Installed::drawn(t, "Kelvane - Config options") && settled(t)) << t.screen();
    t.press(Key::Tab, 2);
    t.press(Key::Enter);  // "  Cancel  "
    ASSERT_TRUE(Installed::drawn(t, kMenu) && settled(t)) << t.screen();
    ASSERT_TRUE(move_to(t, "Cancel changes and Exit")) << t.screen();
    t.press(Key::Enter);
    ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
    EXPECT_EQ(t.exit_status(), 0);

    const std::vector<std::string> lines = {"Error: Card 'NOSUCH' not found in database",
                                            "Some card lines of " + s.path("etc/devices.cfg"),
                                            "Edit "};
    if (on_terminal) {
      int row = -1;
      for (const std::string &line : lines) {
        int found = -1;
        for (int r = row + 1; r < t.rows() && found < 0; r++)
          if (t.row(r).rfind(line, 0) == 0) found = r;
        EXPECT_GT(found, row) << line << "\n" << t.screen();
        row = found;
      }
    } else {
      std::string err = s.err();
      size_t at = 0;
      for (const std::string &line : lines) {
        size_t found = err.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "\n" << err;
        at = found == std::string::npos ? at : found;
      }
    }
  }
}

// Both programs with a screen end with a clear line and 255 when curses
// cannot use the terminal, before they draw anything.
TEST(ConfiguratorScreen, UnusableTerminalIsAClearError) {
  Installed s;
  ASSERT_EQ(s.tool("audstart").status, 0);
  struct Case {
    std::string term, line;
  } cases[] = {
      {"TERM=", "Cannot start the text screen: TERM is not set\n"},
      {"TERM=no-such-terminal", "Cannot start the text screen: unknown terminal type \"no-such-terminal\"\n"},
  };
  for (const Case &c : cases)
    for (const char *program : {"audcore", "audpanel"}) {
      std::vector<std::string> argv = {bin(program)};
      if (std::string(program) == "audcore") argv.insert(argv.end(), {"c", s.dir});
      auto r = s.run(argv, {c.term});
      EXPECT_EQ(r.status, 255) << program << " " << c.term;
      EXPECT_THAT(r.err, HasSubstr(c.line)) << program << " " << c.term;
      EXPECT_EQ(r.out, "") << program << " " << c.term;
    }
}

TEST(ConfiguratorScreen, UnreadableConfigurationIsReportedOnce) {
  Installed s;
  std::filesystem::create_directory(s.path("etc/devices.cfg"));
  auto r = s.audcore("c");
  EXPECT_EQ(r.status, 255);
  const std::string line = s.path("etc/devices.cfg") + ": Is a directory\n";
  size_t first = r.err.find(line);
  EXPECT_NE(first, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(line, first + 1), std::string::npos) << r.err;
}

TEST(ConfiguratorScreen, FailingSaveShowsWhyAndKeepsTheMenu) {
  Installed s(kIsaMachine);
  const std::string old = "/SECUREAUDIO OFF\n" + kSb16;
  kvltest::write_file(s.path("etc/devices.cfg"), old);
  std::filesystem::create_directory(s.path("etc/modules.cfg"));
  Terminal t;
  ASSERT_TRUE(s.launch(t));
  // The rewrite at entry fails already: the box waits, then the menu.
  ASSERT_TRUE(t.wait_for("Saving failed: " + s.path("etc/modules.cfg") + ": Is a directory"))
      << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(Installed::drawn(t, kMenu)) << t.screen();
  t.press(Key::Enter);  // Save
  ASSERT_TRUE(t.wait_for("Saving failed: ")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(Installed::drawn(t, kMenu)) << t.screen();
  EXPECT_EQ(s.status(), "AUDSET\n");
  EXPECT_EQ(s.read("etc/devices.cfg"), old);
  t.press(Key::Down);
  t.press(Key::Enter);  // Cancel
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
}

TEST(ConfiguratorScreen, CardAddedByHandStartsUp) {
  Installed s(kIsaMachine);
  kvltest::write_file(s.path("etc/devices.cfg"), "/SECUREAUDIO OFF\n");
  Terminal t(30, 80);
  ASSERT_TRUE(s.start(t, kMenu)) << t.screen();
  ASSERT_TRUE(choose(t, "Add new card/device", kAdd)) << t.screen();
  ASSERT_TRUE(choose(t, "Sound Blaster 16 (jumper configured)", "Select I/O port for"))
      << t.screen();
  // Help: the three sections scroll as lines of their own window.
  t.press(Key::Tab, 3);
  t.press(Key::Enter);
  ASSERT_TRUE(Installed::drawn(t, "Selecting an I/O port")) << t.screen();
  for (const char *line : {"Soundcard or device", "Sound Blaster 16", "Functionality",
                           "Sound Blaster 16 digital audio", "Hardware port selection"})
    EXPECT_TRUE(on_screen(t, line)) << line << "\n" << t.screen();
  t.press(Key::Escape);
  ASSERT_TRUE(Installed::drawn(t, "Select I/O port for")) << t.screen();
  ASSERT_TRUE(choose(t, "220 - May be free (not sure)", "Select IRQ for")) << t.screen();
  EXPECT_TRUE(on_screen(t, "(The factory default value is 5)")) << t.screen();
  ASSERT_TRUE(choose(t, " 5 - May be free (not sure)", "Select DMA for")) << t.screen();
  ASSERT_TRUE(choose(t, "1  - free", "Select DMA for", "16-bit DMA channel.")) << t.screen();
  ASSERT_TRUE(choose(t, "5  - free", "Select I/O port for")) << t.screen();  // the MIDI port
  ASSERT_TRUE(choose(t, "330 - May be free (not sure)", kMenu)) << t.screen();
  EXPECT_TRUE(on_screen(t, "Sound Blaster 16 (jumper configured)")) << t.screen();
  t.press(Key::Enter);  // Save
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
  EXPECT_EQ(s.status(), "AUDSET_OK\n");
  EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("SB16 ON P220 I5 D1 d5\n"));

  auto r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_THAT(r.out + s.read("logs/audstart.log"), HasSubstr("Kelvane started OK."));
}

TEST(ConfiguratorScreen, EndOfTerminalInputSavesNothing) {
  Installed s;
  kvltest::write_file(s.path("etc/devices.cfg"), kSb16);
  auto r = s.audcore("c", "");  // no key will ever come
  EXPECT_EQ(r.status, 255);
  EXPECT_THAT(r.err, HasSubstr("End of terminal input\n"));
  EXPECT_EQ(s.status(), "AUDSET\n");
}

// Only a configurator whose menu came up says AUDSET; a listing and a
// configurator that ended before its menu leave the running system's word.
TEST(ConfiguratorScreen, StatusWordOnlyOnceTheMenuIsUp) {
  struct Case {
    const char *name, *word;
    const char *fault;  // request failing with EIO, or none
    bool no_database;
    int exit_status;
    const char *status;
  } cases[] = {
      {"driver listing", "T", nullptr, false, 0, "AUDSTART_OK\n"},
      {"failed handshake", "c", "Get version", false, 255, "AUDSTART_OK\n"},
      {"no config.dat", "c", nullptr, true, 255, "AUDSTART_OK\n"},
      {"menu, then end of input", "c", nullptr, false, 255, "AUDSET\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Installed s;
    kvltest::write_file(s.path("etc/devices.cfg"), kSb16);
    kvltest::write_file(s.path(".status"), "AUDSTART_OK\n");
    if (c.fault) {
      ASSERT_EQ(s.machine.kvlsim("fault", {c.fault, "EIO"}).status, 0);
    }
    if (c.no_database) std::filesystem::remove(s.path("etc/config.dat"));
    auto r = s.audcore(c.word, "");
    EXPECT_EQ(r.status, c.exit_status) << r.err;
    EXPECT_EQ(s.status(), c.status);
  }
}

TEST(ConfiguratorDriverList, SixVPrintsBothListsAndAFaultIsFatal) {
  Installed s;
  auto r = s.audcore("Tvvvvvv");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("SB16 Sound Blaster 16 and compatibles\n"));
  EXPECT_THAT(r.err, HasSubstr("card level drivers actually installed.\n"));
  EXPECT_THAT(r.err, HasSubstr(": SB16 (Sound Blaster 16 and compatibles)\n"));
  EXPECT_FALSE(kvltest::file_exists(s.path("etc/devices.cfg")));  // no screen, nothing saved

  ASSERT_EQ(s.machine.kvlsim("fault", {"Get drivers long", "EIO"}).status, 0);
  r = s.audcore("T");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_THAT(r.err, HasSubstr("Get drivers long: Input/output error\n"));
}

TEST(ConfiguratorScreen, FirstConfigurationDetectsTheDemoMachine) {
  Installed s;
  Terminal t;
  ASSERT_TRUE(s.launch(t));
  ASSERT_TRUE(accept_dialogs_until_menu(t)) << t.screen() << s.err();
  EXPECT_FALSE(on_screen(t, "Autodetect soundcards")) << t.screen();  // detection ran
  t.press(Key::Enter);  // Save
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0) << s.err();
  std::string cfg = s.read("etc/devices.cfg");
  EXPECT_THAT(cfg, HasSubstr("/PCIIRQ 11\n"));
  EXPECT_THAT(cfg, HasSubstr("/PNPDEV CTL0031 "));
  EXPECT_THAT(cfg, HasSubstr("\nPNP\n"));  // the driver's own read-data port
  EXPECT_TRUE(kvltest::file_exists(s.path("logs/pnpres.dat")));
  auto r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.out << r.err << s.read("logs/audstart.log");
  EXPECT_THAT(r.out + s.read("logs/audstart.log"), HasSubstr("Kelvane started OK."));
}

// A refused detection request and a control device that is there but does
// not open are each said in a waiting box; what was found so far stays.
TEST(ConfiguratorScreen, DetectionFailuresAreShownInABox) {
  struct Case {
    std::vector<std::string> fault;
    std::string box;
    bool driver;  // detection runs, the plug-and-play card found first stays
  } cases[] = {
      {{"PnP cardinfo", "EIO", "2"}, "Detection failed: PnP cardinfo: Input/output error", true},
      {{"--open", "/dev/mixer0", "EIO"}, "/dev/mixer0: Input/output error - running without the driver",
       false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.box);
    Installed s;
    ASSERT_EQ(s.machine.kvlsim("fault", c.fault).status, 0);
    Terminal t;
    ASSERT_TRUE(s.launch(t));
    ASSERT_TRUE(t.wait_for(c.box)) << t.screen();
    t.press(Key::Enter);
    if (c.driver) {
      ASSERT_TRUE(accept_dialogs_until_menu(t)) << t.screen() << s.err();
    } else {
      ASSERT_TRUE(Installed::drawn(t, kAdd)) << t.screen();  // nothing to detect
      t.press(Key::Escape);
      ASSERT_TRUE(Installed::drawn(t, kMenu)) << t.screen();
      EXPECT_FALSE(on_screen(t, "Autodetect soundcards")) << t.screen();
    }
    t.press(Key::Enter);  // Save
    ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
    EXPECT_EQ(t.exit_status(), 0) << s.err();
    if (c.driver) {
      EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("-CTL0044 "));
    }
  }
}

TEST(ConfiguratorScreen, FirstConfigurationProbesAnIsaOnlyMachine) {
  Installed s(kIsaMachine);
  Terminal t;
  ASSERT_TRUE(s.launch(t));
  // The probe's port went to the card's first device, the FM synthesizer,
  // whose fixed port wins; the audio part's values are asked.
  ASSERT_TRUE(sb16_defaults(t)) << t.screen();
  EXPECT_TRUE(on_screen(t, "Sound Blaster 16 (jumper configured)")) << t.screen();
  t.press(Key::Enter);  // Save
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0) << s.err();
  EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("SB16 ON P220 I5 D1 d5\n"));
  EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("/IRQEXCLUDE 3 4\n"));
  auto r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.out << r.err << s.read("logs/audstart.log");
  EXPECT_THAT(r.out + s.read("logs/audstart.log"), HasSubstr("Kelvane started OK."));
}

}  // namespace
