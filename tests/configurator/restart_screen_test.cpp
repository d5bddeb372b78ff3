// The configurator's items that act on the running drivers, end to end on a
// pseudo-terminal: the audio self tests (save, audstop, audstart, kvltest and
// its log) and the update (save, audstop, kvlupdate in place of the
// configurator), on the demo machine started with the demo configuration.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "screen_fixture.h"

using kvltest::choose;
using kvltest::Installed;
using kvltest::Key;
using kvltest::kMenu;
using kvltest::move_to;
using kvltest::on_screen;
using kvltest::Terminal;
using nlohmann::json;
using testing::HasSubstr;
using testing::Not;

namespace {

const std::string kQuick = "Audio self test (quick test)";
const std::string kFull = "Audio self test (full test)";
const std::string kUpdate = "Download and install KVL update";
const std::string kResults = "KVL Audio Self Test results";
const std::string kNoCards = "ERROR! No devices defined yet.";
// Every save of the demo configuration says this first.
const std::string kDisabled = "Warning: some devices are disabled (see Manual configuration menu)";
constexpr int kSlow = 30000;  // restarting the drivers and running kvltest

// Waits for the box every save of the demo configuration shows and closes it.
bool saved(Terminal &t) {
  if (!t.wait_for(kDisabled)) return false;
  t.press(Key::Enter);
  return true;
}

// Chooses the main menu's item.
bool run_item(Terminal &t, const std::string &item) {
  if (!move_to(t, item)) return false;
  t.press(Key::Enter);
  return true;
}

// The demo machine running the demo configuration, kvltest's help text in
// docs/, and the configurator's menu on t.
struct Demo : Installed {
  explicit Demo(const std::string &folder = "")
      : Installed("", folder, kvltest::package_layout({"etc/devices.cfg", "docs/README.kvltest"})) {
    auto r = tool("audstart");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(status(), "AUDSTART_OK\n");
  }
  // The configurator's menu on t; returns false when it does not come. The
  // journal's size then is where the configurator's own requests end.
  bool menu(Terminal &t, const std::vector<std::string> &env = {}) {
    if (!launch(t, env) || !saved(t) || !drawn(t, kMenu)) return false;
    before = machine.journal_size();
    return true;
  }
  // The requests made since the menu came, by name.
  std::vector<std::string> requests_since_menu() const { return machine.request_names(before); }
  bool loaded() const { return json::parse(machine.kvlsim("state").out)["loaded"].get<bool>(); }
  // Replaces bin/NAME with a shell script.
  void script(const std::string &name, const std::string &body) const {
    std::filesystem::remove(path("bin/" + name));
    kvltest::write_file(path("bin/" + name), "#!/bin/sh\n" + body);
    std::filesystem::permissions(path("bin/" + name), std::filesystem::perms(0755));
  }
  size_t before = 0;
};

int count(const std::vector<std::string> &v, const std::string &what) {
  return static_cast<int>(std::count(v.begin(), v.end(), what));
}

// Chooses Cancel in the main menu and waits for the end.
void leave(Terminal &t) {
  ASSERT_TRUE(move_to(t, "Cancel changes and Exit")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit(10000)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
}

// The quick test in an installation whose name the shell would split and
// unquote: the drivers are configured again from the saved file, kvltest
// runs and its log is shown; the configurator then has no driver.
TEST(ConfiguratorSelfTest, QuickTestRestartsTheDriversAndShowsTheLog) {
  Demo s("it's a kvl");
  Terminal t;
  ASSERT_TRUE(s.menu(t)) << t.screen();
  const std::string saved_text = s.read("etc/devices.cfg");
  ASSERT_TRUE(run_item(t, kQuick) && saved(t)) << t.screen();
  ASSERT_TRUE(t.wait_for("All tests completed successfully.", kSlow)) << t.screen();

  // audstop unloaded the driver, audstart configured it again.
  std::vector<std::string> since = s.requests_since_menu();
  EXPECT_EQ(count(since, "Add card"), count(s.machine.request_names(), "Add card") / 2) << testing::PrintToString(since);
  EXPECT_GT(count(since, "Add card"), 0);
  EXPECT_EQ(s.status(), "AUDSTART_OK\n");
  std::string log = s.read("logs/kvltest.log");
  EXPECT_THAT(log, HasSubstr("/dev/dsp4: plays a tone of 1 s: passed\n"));
  EXPECT_THAT(log, Not(HasSubstr("records a block")));  // -q: no recording
  EXPECT_EQ(log.substr(log.size() - 13), "All tests OK\n");

  t.press(Key::Enter);
  ASSERT_TRUE(Installed::drawn(t, kResults)) << t.screen();
  EXPECT_THAT(t.row(1), HasSubstr("kvltest checks the sound driver"));
  EXPECT_TRUE(on_screen(t, "│ Self test log ")) << t.screen();
  EXPECT_TRUE(on_screen(t, "│ ============= ")) << t.screen();
  EXPECT_THAT(t.row(22), HasSubstr("[  Ok  ]"));
  t.press(Key::PageDown, 3);
  EXPECT_TRUE(t.wait_for("All tests OK")) << t.screen();
  t.press(Key::Tab);
  t.press(Key::Enter);
  ASSERT_TRUE(Installed::drawn(t, kMenu)) << t.screen();

  // No driver any more: autodetection, still listed, only empties the list.
  size_t now = s.machine.journal_size();
  ASSERT_TRUE(choose(t, "Autodetect soundcards", kMenu, kNoCards)) << t.screen();
  EXPECT_EQ(s.machine.journal_size(), now);
  EXPECT_EQ(s.read("etc/devices.cfg"), saved_text);  // the edits since are not saved
  leave(t);
}

// The full test records too; a device that fails to open is an error, and
// the log says which.
TEST(ConfiguratorSelfTest, FullTestWithAFailingDeviceReportsErrors) {
  Demo s;
  ASSERT_EQ(s.machine.kvlsim("fault", {"--open", "/dev/dsp1", "ENXIO"}).status, 0);
  Terminal t;
  ASSERT_TRUE(s.menu(t)) << t.screen();
  ASSERT_TRUE(run_item(t, kFull) && saved(t)) << t.screen();
  ASSERT_TRUE(t.wait_for("One or more errors were detected during the self test", kSlow))
      << t.screen();
  std::string log = s.read("logs/kvltest.log");
  EXPECT_THAT(log, HasSubstr("/dev/dsp1: open for writing: FAILED (No such device or address)\n"));
  EXPECT_THAT(log, HasSubstr("records a block"));
  EXPECT_THAT(log, HasSubstr("tests FAILED\n"));
  t.press(Key::Enter);
  ASSERT_TRUE(Installed::drawn(t, kResults)) << t.screen();
  t.press(Key::Tab);
  t.press(Key::Enter);
  ASSERT_TRUE(Installed::drawn(t, kMenu)) << t.screen();
  leave(t);
}

// The tools fail: the box names the one that failed, nothing after it runs,
// and the menu comes back. A failing save stops nothing at all.
TEST(ConfiguratorSelfTest, FailuresStopTheItemAndTheMenuComesBack) {
  struct Case {
    const char *name;
    std::string item;
    const char *fails;  // the tool replaced by one that fails, or "save"
    std::string box;
  } cases[] = {
      {"quick test, audstop fails", kQuick, "audstop", "Running audstop failed"},
      {"full test, audstart fails", kFull, "audstart", "Running audstart failed"},
      {"update, audstop fails", kUpdate, "audstop", "Running audstop failed"},
      {"quick test, save fails", kQuick, "save", "Saving failed: "},
      {"update, save fails", kUpdate, "save", "Saving failed: "},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Demo s;
    s.script("kvlupdate", "echo ran > \"$(dirname \"$0\")/../logs/kvlupdate-ran\"\n");
    bool save_fails = std::string(c.fails) == "save";
    if (!save_fails) s.script(c.fails, "exit 3\n");
    Terminal t;
    ASSERT_TRUE(s.menu(t)) << t.screen();
    if (save_fails) {
      std::filesystem::remove(s.path("etc/modules.cfg"));
      std::filesystem::create_directory(s.path("etc/modules.cfg"));
    }
    ASSERT_TRUE(run_item(t, c.item) && (save_fails || saved(t))) << t.screen();
    if (c.item == kUpdate && !save_fails) {
      ASSERT_TRUE(t.wait_for("Will exit audset and start kvlupdate")) << t.screen();
      t.press(Key::Enter);
    }
    ASSERT_TRUE(t.wait_for(c.box, kSlow)) << t.screen();
    t.press(Key::Enter);
    ASSERT_TRUE(Installed::drawn(t, kMenu)) << t.screen();
    EXPECT_FALSE(kvltest::file_exists(s.path("logs/kvltest.log")));
    EXPECT_FALSE(kvltest::file_exists(s.path("logs/kvlupdate-ran")));
    // audstart never ran after the failure: no request since the menu.
    EXPECT_EQ(s.requests_since_menu(), std::vector<std::string>{});
    EXPECT_EQ(s.loaded(), std::string(c.fails) != "audstart");  // audstop unloaded it
    if (save_fails) {
      std::filesystem::remove(s.path("etc/modules.cfg"));
      // The driver was kept: autodetection asks it for the cards again
      // (and for the resources of the plug-and-play card it finds).
      ASSERT_TRUE(run_item(t, "Autodetect soundcards")) << t.screen();
      ASSERT_TRUE(kvltest::accept_dialogs_until_menu(t)) << t.screen();
      EXPECT_FALSE(on_screen(t, kNoCards)) << t.screen();
      EXPECT_TRUE(on_screen(t, "Sound Blaster AWE32 (PnP)")) << t.screen();
    }
    leave(t);
  }
}

// kvlupdate runs in place of the configurator with its path and "4.0.0":
// the real one installs a newer package and starts the drivers again.
TEST(ConfiguratorUpdate, KvlupdateReplacesTheConfiguratorAndStartsTheDrivers) {
  Demo s;
  kvltest::TempDir package;
  kvltest::write_file(package / "VERSION", "4.0.1\n");
  kvltest::write_file(package / "docs/README.update", "Kelvane 4.0.1\n");
  Terminal t;
  ASSERT_TRUE(s.menu(t, {"KVL_UPDATE_SOURCE=" + package.path()})) << t.screen();
  ASSERT_TRUE(run_item(t, kUpdate) && saved(t)) << t.screen();
  ASSERT_TRUE(t.wait_for("Will exit audset and start kvlupdate")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit(kSlow)) << t.screen();
  EXPECT_EQ(t.exit_status(), 0) << t.screen() << kvltest::read_file(s.path("logs/kvlupdate.log"));
  EXPECT_TRUE(on_screen(t, "Installed Kelvane 4.0.1 (1 files).")) << t.screen();
  EXPECT_EQ(s.read("docs/README.update"), "Kelvane 4.0.1\n");
  EXPECT_EQ(s.status(), "AUDSTART_OK\n");
  EXPECT_GT(count(s.requests_since_menu(), "Add card"), 0);
}

// No bin/kvlupdate: the screen comes back with the reason, the drivers the
// item stopped are started again, and the menu works on.
TEST(ConfiguratorUpdate, MissingKvlupdateShowsWhyAndTheMenuWorks) {
  Demo s;
  std::filesystem::remove(s.path("bin/kvlupdate"));
  Terminal t;
  ASSERT_TRUE(s.menu(t)) << t.screen();
  ASSERT_TRUE(run_item(t, kUpdate) && saved(t)) << t.screen();
  ASSERT_TRUE(t.wait_for("Will exit audset and start kvlupdate")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_for("Cannot start kvlupdate: No such file or directory", kSlow))
      << t.screen();
  t.press(Key::Enter);
  // The menu is drawn afresh once audstart has run.
  ASSERT_TRUE(t.wait_until([&] {
    return Installed::shows(t, kMenu) && !on_screen(t, "Cannot start kvlupdate") &&
           !on_screen(t, "Restarting KVL");
  }, kSlow)) << t.screen();
  EXPECT_TRUE(s.loaded());
  EXPECT_GT(count(s.requests_since_menu(), "Add card"), 0);
  EXPECT_EQ(s.status(), "AUDSTART_OK\n");
  ASSERT_TRUE(choose(t, "Autodetect soundcards", kMenu, kNoCards)) << t.screen();
  leave(t);
  EXPECT_EQ(s.status(), "AUDSET_OK\n");
}

}  // namespace
