// audcore's configurator mode end to end: on a pseudo-terminal against a
// simulated machine, with an installation built from the package's data.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support.h"
#include "termharness.h"

using kvltest::Key;
using kvltest::Terminal;
using testing::HasSubstr;
using testing::Not;

namespace {

const std::string kMenu = "Kelvane - Config main menu";
const std::string kAdd = "Select a device to be added";
const std::vector<std::string> kHandshake = {"Get version", "Get status", "Get #drivers",
                                             "Get driver types"};

// One ISA card (the SB16 at 220, IRQ 5, DMA 1 and 5) and its drivers; its FM
// and MIDI parts answer at their ports, and their drivers' probes report
// nothing of them (an empty line), as for parts of a card.
const char *kIsaMachine = R"({
  "version": "0x039999", "major": 14,
  "drivers": [{"name": "SB16", "key": 3}, {"name": "MPU401", "key": 4}, {"name": "OPL3", "key": 5}],
  "isa": [{"card": "SB16", "driver": "SB16", "port": "0x220", "irq": 5, "dma": 1, "dma2": 5,
           "audio": ["SB16 DSP"], "mixers": ["SB16 mixer"]},
          {"card": "OPL3", "driver": "OPL3", "port": "0x388", "reply": ""},
          {"card": "MPU401", "driver": "MPU401", "port": "0x330", "reply": ""}]
})";

// Complete card sections: nothing is left to ask when they are read.
const std::string kSb16 =
    "-SB16\nOPL3 ON P388\nMPU401 ON P330\nSB16 ON P220 I5 D1 d5\n";
const std::string kMpu = "-MPU401\nMPU401 ON P300 I9\n";

struct Installed {
  kvltest::SimMachine machine;
  kvltest::TempDir install;
  kvltest::TempDir scratch;

  explicit Installed(const std::string &machine_json = "") : machine(machine_json) {
    namespace fs = std::filesystem;
    for (const char *d : {"bin", "etc", "logs", "docs"}) fs::create_directories(install / d);
    for (const char *p : {"audcore", "audstart", "audstop", "kvlsim"})
      fs::create_symlink(kvltest::bin(p), install / (std::string("bin/") + p));
    for (const auto &e : fs::directory_iterator(std::string(KVL_DATA_DIR) + "/etc"))
      fs::copy_file(e.path(), install / ("etc/" + e.path().filename().string()));
    kvltest::write_file(machine.root() + "/etc/kvl.conf", "KVLLIBDIR=" + install.path() + "\n");
  }
  std::string path(const std::string &rel) const { return install / rel; }
  std::string read(const std::string &rel) const { return kvltest::read_file(path(rel)); }
  std::string status() const { return read(".status"); }
  std::string err() const { return kvltest::read_file(scratch / "stderr"); }
  std::vector<std::string> requests() const {
    std::vector<std::string> out;
    for (const auto &j : machine.journal()) out.push_back(j["request"].get<std::string>());
    return out;
  }
  kvltest::RunResult audcore(const std::string &word, const std::string &input = "") const {
    return kvltest::run({kvltest::bin("audcore"), word, install.path()},
                        {machine.env(), "TERM=xterm"}, input);
  }
  // Starts the configurator on t, standard error to a file.
  bool launch(Terminal &t) const {
    t.stderr_to(scratch / "stderr");
    return t.start({kvltest::bin("audcore"), "c", install.path()}, {machine.env()});
  }
  // The same, waiting for the list titled title.
  bool start(Terminal &t, const std::string &title) const {
    return launch(t) && drawn(t, title);
  }

  // A full-screen list with title is drawn and the cursor stands in it.
  static bool drawn(Terminal &t, const std::string &title) {
    int last = t.rows() - 1;
    return t.wait_until([&] {
      return t.row(0).find(title) != std::string::npos && t.cell(last, t.cols() - 1).ch == "┘" &&
             t.cursor().row < last;
    });
  }
};

// The highlighted line of the list on screen: its row and text.
std::pair<int, std::string> highlighted(const Terminal &t) {
  for (int r = 1; r < t.rows() - 1; r++)
    if (t.cell(r, 2).reverse) return {r, t.row(r)};
  return {-1, ""};
}

// Moves the highlight down until its line holds text; false when it never does.
bool move_to(Terminal &t, const std::string &text, int limit = 200) {
  for (int i = 0; i < limit; i++) {
    if (!t.wait_until([&] { return highlighted(t).first > 0; })) return false;
    auto now = highlighted(t);
    if (now.second.find(text) != std::string::npos) return true;
    t.press(Key::Down);
    if (!t.wait_until([&] { return highlighted(t) != now && highlighted(t).first > 0; }))
      return false;
  }
  return false;
}

// Highlights the line holding text, chooses it with Enter and waits for the
// list titled next_title with next_text on it.
bool choose(Terminal &t, const std::string &text, const std::string &next_title,
            const std::string &next_text = "") {
  if (!move_to(t, text)) return false;
  t.press(Key::Enter);
  return Installed::drawn(t, next_title) && t.wait_for(next_text);
}

bool on_screen(const Terminal &t, const std::string &text) {
  return t.screen().find(text) != std::string::npos;
}

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
  EXPECT_TRUE(s.requests().empty());  // no driver, no request
}

TEST(ConfiguratorScreen, ConfigurationIsRewrittenAtOnceAndOneConfiguratorRuns) {
  Installed s;
  kvltest::write_file(s.path("etc/devices.cfg"), "# An old comment\n" + kSb16 + kMpu);
  Terminal t;
  ASSERT_TRUE(s.start(t, kMenu)) << t.screen();
  std::string rewritten = s.read("etc/devices.cfg");
  EXPECT_THAT(rewritten, Not(HasSubstr("An old comment")));
  EXPECT_THAT(rewritten, HasSubstr("-SB16 #Sound Blaster 16 (jumper configured)\n"));
  EXPECT_TRUE(s.machine.journal().size() > 0);
  std::vector<std::string> want = kHandshake;
  want.push_back("get PCI IRQs");
  EXPECT_EQ(s.requests(), want);
  // Two cards: the menu offers reordering, and its card lines name both.
  EXPECT_TRUE(on_screen(t, "Reorder card list")) << t.screen();
  EXPECT_TRUE(on_screen(t, "Sound Blaster 16 (jumper configured)")) << t.screen();

  auto second = s.audcore("c");
  EXPECT_EQ(second.status, 255);
  EXPECT_THAT(second.err, HasSubstr("Another configurator is running (pid "));
  EXPECT_EQ(s.status(), "AUDSET\n");  // the second one touched nothing
  EXPECT_EQ(s.requests(), want);

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
  EXPECT_EQ(s.requests(), want);
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

  auto r = kvltest::run({s.path("bin/audstart")}, {s.machine.env()});
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

}  // namespace

namespace {

// Waits until the screen has stayed the same for quiet_ms: a dialog is
// drawn in several writes, and a key sent in between lands in the next one.
bool settled(Terminal &t, int quiet_ms = 150) {
  auto start = std::chrono::steady_clock::now();
  std::string last = t.screen();
  auto since = start;
  for (;;) {
    t.wait_until([] { return false; }, 25);
    std::string now = t.screen();
    auto at = std::chrono::steady_clock::now();
    if (now != last) {
      last = now;
      since = at;
    } else if (at - since >= std::chrono::milliseconds(quiet_ms)) {
      return true;
    }
    if (at - start > std::chrono::milliseconds(kvltest::WAIT_MS)) return false;
  }
}

// Answers every resource dialog that comes up with its highlighted line
// until the main menu is drawn; false when it never is.
bool accept_dialogs_until_menu(Terminal &t, int limit = 40) {
  for (int i = 0; i < limit; i++) {
    if (!t.wait_until([&] {
          return (t.row(0).find("Select ") != std::string::npos ||
                  t.row(0).find(kMenu) != std::string::npos) &&
                 highlighted(t).first > 0;
        }) ||
        !settled(t))
      return false;
    if (t.row(0).find(kMenu) != std::string::npos) return true;
    std::string before = t.screen();
    t.press(Key::Enter);
    if (!t.wait_until([&] { return t.screen() != before; })) return false;
  }
  return false;
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
  auto r = kvltest::run({s.path("bin/audstart")}, {s.machine.env()});
  EXPECT_EQ(r.status, 0) << r.out << r.err << s.read("logs/audstart.log");
  EXPECT_THAT(r.out + s.read("logs/audstart.log"), HasSubstr("Kelvane started OK."));
}

TEST(ConfiguratorScreen, FirstConfigurationProbesAnIsaOnlyMachine) {
  Installed s(kIsaMachine);
  Terminal t;
  ASSERT_TRUE(s.launch(t));
  // The probe's port went to the card's first device, the FM synthesizer,
  // whose fixed port wins; the audio part's values are asked.
  ASSERT_TRUE(Installed::drawn(t, "Select I/O port for Sound Blaster 16")) << t.screen();
  ASSERT_TRUE(choose(t, "220 - May be free (not sure)", "Select IRQ for")) << t.screen();
  ASSERT_TRUE(choose(t, " 5 - May be free (not sure)", "Select DMA for")) << t.screen();
  ASSERT_TRUE(choose(t, "1  - free", "Select DMA for", "16-bit DMA channel.")) << t.screen();
  ASSERT_TRUE(choose(t, "5  - free", "Select I/O port for")) << t.screen();
  ASSERT_TRUE(choose(t, "330 - May be free (not sure)", kMenu)) << t.screen();
  EXPECT_TRUE(on_screen(t, "Sound Blaster 16 (jumper configured)")) << t.screen();
  t.press(Key::Enter);  // Save
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0) << s.err();
  EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("SB16 ON P220 I5 D1 d5\n"));
  EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("/IRQEXCLUDE 3 4\n"));
  auto r = kvltest::run({s.path("bin/audstart")}, {s.machine.env()});
  EXPECT_EQ(r.status, 0) << r.out << r.err << s.read("logs/audstart.log");
  EXPECT_THAT(r.out + s.read("logs/audstart.log"), HasSubstr("Kelvane started OK."));
}

}  // namespace
