// The configurator's editing screens end to end on the demo machine with the
// demo configuration: manual configuration, security setup and the options
// editor, each saved and then started with audstart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screen_fixture.h"

using namespace kvltest;
using testing::HasSubstr;
using testing::Not;

namespace {

const std::string kManual = "Kelvane - Manual configuration";

// The demo installation, configured with the package's devices.cfg.
struct Demo : Installed {
  Demo() : Installed("", "", package_layout({"etc/devices.cfg"})) {}
  // Starts the configurator and waits for its main menu; the demo
  // configuration has disabled devices, which the rewrite at entry reports.
  bool menu(Terminal &t) const {
    if (!launch(t) || !t.wait_for("Warning: some devices are disabled")) return false;
    t.press(Key::Enter);
    return drawn(t, kMenu) && settled(t);
  }
};

// Saves from the main menu, past the disabled-devices box, and waits for
// the end.
void save_and_exit(Terminal &t) {
  ASSERT_TRUE(move_to(t, "Save changes and Exit")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_for("Warning: some devices are disabled")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
}

// Sets the SB16's IRQ through the manual configuration and saves.
void set_sb16_irq(const Demo &s, int from, int to) {
  Terminal t(60, 80);
  ASSERT_TRUE(s.menu(t)) << t.screen();
  ASSERT_TRUE(choose(t, "Manual configuration", kManual)) << t.screen();
  ASSERT_TRUE(choose(t, "IRQ      = " + std::to_string(from), "Select IRQ for Sound Blaster 16"))
      << t.screen();
  std::string line = (to < 10 ? " " : "") + std::to_string(to) + " - May be free (not sure)";
  ASSERT_TRUE(choose(t, line, kManual, "IRQ      = " + std::to_string(to))) << t.screen();
  // The line chosen is current again after the rebuild.
  EXPECT_THAT(highlighted(t).second, HasSubstr("IRQ      = " + std::to_string(to)));
  t.press(Key::Escape);
  ASSERT_TRUE(Installed::drawn(t, kMenu) && settled(t)) << t.screen();
  save_and_exit(t);
}

TEST(ConfiguratorEditing, ManualConfigurationShowsTheDemoConfiguration) {
  Demo s;
  Terminal t(60, 80);
  ASSERT_TRUE(s.menu(t)) << t.screen();
  ASSERT_TRUE(choose(t, "Manual configuration", kManual)) << t.screen();
  ASSERT_TRUE(settled(t));
  std::vector<std::string> rows;
  for (int r = 1; r < t.rows() - 3; r++) rows.push_back(t.row(r));
  auto at = [&](const std::string &text) {
    for (size_t i = 0; i < rows.size(); i++)
      if (rows[i].find(text) != std::string::npos) return static_cast<int>(i);
    return -1;
  };
  int sb = at("Card: Sound Blaster 16 (jumper configured)");
  ASSERT_GE(sb, 0) << t.screen();
  EXPECT_THAT(rows[sb + 1], HasSubstr("      Device: FM synthesizer (DISABLED)"));
  EXPECT_THAT(rows[sb + 2], HasSubstr("      Device: MIDI port (DISABLED)"));
  EXPECT_THAT(rows[sb + 3], HasSubstr("      Device: Sound Blaster 16 digital audio (enabled)"));
  EXPECT_THAT(rows[sb + 4], HasSubstr("         I/O port = 220"));
  EXPECT_THAT(rows[sb + 5], HasSubstr("         IRQ      = 5"));
  EXPECT_THAT(rows[sb + 6], HasSubstr("         DMA (A)  = 1"));
  EXPECT_THAT(rows[sb + 7], HasSubstr("         DMA (B)  = 5"));
  for (const char *pci : {"Card: Ensoniq AudioPCI 97 (ES1371/ES1373)", "Card: Intel ICH5 AC97 audio"}) {
    int p = at(pci);
    ASSERT_GE(p, 0) << pci << "\n" << t.screen();
    EXPECT_THAT(rows[p + 1], HasSubstr("      PnP device - No manually configurable resources"));
    EXPECT_EQ(rows[p + 2], "│" + std::string(78, ' ') + "│");
  }
  t.press(Key::Escape);
  ASSERT_TRUE(Installed::drawn(t, kMenu)) << t.screen();
}

TEST(ConfiguratorEditing, IrqChangedByHandReachesTheDriver) {
  Demo s;
  set_sb16_irq(s, 5, 7);
  EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("SB16 ON P220 I7 D1 d5\n"));
  auto r = s.tool("audstart");
  EXPECT_NE(s.status(), "AUDSTART_OK\n");  // the demo machine's SB16 answers at IRQ 5
  bool sent = false;
  for (const auto &j : s.machine.requests("Add card"))
    if (j.dump().find("SB16") != std::string::npos) sent = j.value("irq", -1) == 7;
  EXPECT_TRUE(sent) << s.machine.kvlsim("journal").out;

  ASSERT_EQ(s.tool("audstop").status, 0);
  set_sb16_irq(s, 7, 5);
  r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(s.status(), "AUDSTART_OK\n") << s.read("logs/audstart.log");
}

TEST(ConfiguratorEditing, FixedPortOnlyBeeps) {
  Installed s;
  kvltest::write_file(s.path("etc/devices.cfg"), kSb16);  // FM enabled at its fixed 388
  Terminal t(40, 80);
  ASSERT_TRUE(s.start(t, kMenu) && settled(t)) << t.screen();
  ASSERT_TRUE(choose(t, "Manual configuration", kManual)) << t.screen();
  ASSERT_TRUE(settled(t));
  // The fixed port's line can be current (the cursor stands on it, no
  // highlight), but Enter there only beeps.
  int row = -1;
  for (int r = 1; r < t.rows() - 1; r++)
    if (t.row(r).find("I/O port = 388") != std::string::npos) row = r;
  ASSERT_GT(row, 0) << t.screen();
  for (int i = 0; i < 10 && t.cursor().row != row; i++) {
    int was = t.cursor().row;
    t.press(Key::Down);
    ASSERT_TRUE(t.wait_until([&] { return t.cursor().row != was; })) << t.screen();
  }
  ASSERT_EQ(t.cursor().row, row);
  EXPECT_EQ(highlighted(t).first, -1);
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for_bells(1)) << t.screen();
  EXPECT_THAT(t.row(0), HasSubstr(kManual));
}

TEST(ConfiguratorEditing, SecureAudioSavedAndApplied) {
  Demo s;
  Terminal t;
  ASSERT_TRUE(s.menu(t)) << t.screen();
  ASSERT_TRUE(choose(t, "Security setup", "Security Setup")) << t.screen();
  EXPECT_THAT(highlighted(t).second, HasSubstr("Enable read access to audio devices (currently selected)"));
  ASSERT_TRUE(choose(t, "Disable read access to audio devices", kMenu)) << t.screen();
  ASSERT_TRUE(settled(t));
  save_and_exit(t);
  EXPECT_THAT(s.read("etc/devices.cfg"), HasSubstr("/SECUREAUDIO ON\n"));
  auto r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_THAT(s.machine.kvlsim("devices").out, HasSubstr("/dev/dsp0 c 0622 "));
}

TEST(ConfiguratorEditing, OptionTypedAndSentAtStartUp) {
  Demo s;
  Terminal t;
  ASSERT_TRUE(s.menu(t)) << t.screen();
  ASSERT_TRUE(edit_option(t, "softkvl_rate")) << t.screen();
  t.type("48000");
  t.press(Key::Enter);
  ASSERT_TRUE(Installed::drawn(t, "Kelvane - Config options") && t.wait_for("softkvl_rate=48000"))
      << t.screen();
  ASSERT_TRUE(settled(t));
  t.press(Key::Tab);
  t.press(Key::Enter);  // "  Save  "
  ASSERT_TRUE(Installed::drawn(t, kMenu) && settled(t)) << t.screen();
  EXPECT_EQ(s.read("etc/options.cfg"), "softkvl_rate=48000\n");
  ASSERT_TRUE(move_to(t, "Cancel changes and Exit")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();

  size_t from = s.machine.journal_size();
  auto r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  bool sent = false;
  for (const auto &j : s.machine.requests("Set ioctl", from))
    if (j["id"] == 30 && j["value"] == 48000) sent = true;
  EXPECT_TRUE(sent);
}

}  // namespace
