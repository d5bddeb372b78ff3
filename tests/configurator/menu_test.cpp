// The configurator's main menu and its save-or-leave loop, answered by a
// scripted user over a small database, without a driver.
#include "configurator/configurator.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "model_fixture.h"
#include "cardcfg/cardlist.h"
#include "entry/entry.h"

namespace {

using namespace kvl;
using cardtest::Db;

constexpr int SAVE = 1, CANCEL = 2, ADD = 3, REORDER = 20, AUTODETECT = 9;

class MenuTest : public cfgtest::ConfiguratorTest {
 protected:
  void SetUp() override {
    ConfiguratorTest::SetUp();
    db_.card("ONE", "Card one", 0, {db_.device("one", 0)});
    db_.card("TWO", "Card two", 0, {db_.device("two", 0)});
    // An IRQ that no dialog can offer: every pass counts a failure.
    db_.card("BAD", "Card without IRQ", 0, {db_.device("bad", 0, {[] {
                                               HwdbResource r = cardtest::irq_res(1);
                                               r.count = 1;
                                               return r;
                                             }()})});
    // The driver lists name the devices' drivers for modules.cfg.
    kvltest::write_file(dir_ / "etc/modules.lis", "");
  }
  std::string status() const { return kvltest::read_file(dir_ / ".status"); }
  std::vector<int> codes(const AskChoice &c) const {
    std::vector<int> out;
    for (const AskItem &i : c.items) out.push_back(i.code);
    return out;
  }
};

TEST_F(MenuTest, ItemsFollowTheirConditions) {
  struct Case {
    std::vector<const char *> cards;
    int no_driver, detected;
    std::vector<int> codes;
  } cases[] = {
      {{}, 1, 0, {1, 2, 3, 4, 10, 5, 18, 24, 19, 22}},
      {{"ONE"}, 0, 0, {1, 2, 3, 4, 9, 10, 5, 18, 24, 19, 22}},
      {{"ONE", "TWO"}, 0, 0, {1, 2, 3, 4, 20, 9, 10, 5, 18, 24, 19, 22}},
      {{"ONE", "TWO"}, 0, 1, {1, 2, 3, 4, 20, 10, 5, 18, 24, 19, 22}},
  };
  for (const Case &c : cases) {
    run_->model.cards = CardList{};
    for (const char *k : c.cards) add(k);
    run_->control.no_driver = c.no_driver;
    run_->model.detect.autodetect_done = c.detected;
    asker_ = kvltest::ScriptAsker{};
    answer(CANCEL);
    Configurator f = cfg();
    EXPECT_EQ(main_menu(f), 0);
    ASSERT_EQ(asker_.choices.size(), 1u);
    const AskChoice &menu = asker_.choices[0];
    EXPECT_EQ(menu.title, "Kelvane - Config main menu");
    EXPECT_EQ(codes(menu), c.codes) << c.cards.size();
    ASSERT_EQ(menu.buttons.size(), 2u);
    EXPECT_EQ(menu.buttons[0].label, "Save and exit");
    EXPECT_EQ(menu.buttons[1].label, "Exit without saving");
    if (c.cards.empty()) {
      ASSERT_EQ(menu.headers.size(), 7u);
      EXPECT_EQ(menu.headers[0], "ERROR! No devices defined yet.");
      EXPECT_EQ(menu.headers[6], "function can be used to detect PCI/PnP devices.");
    } else {
      EXPECT_EQ(menu.headers.size(), c.cards.size());
      EXPECT_EQ(menu.headers[0], "Card one");
    }
  }
}

TEST_F(MenuTest, EscapeKeepsTheMenuAndCancelSaysSo) {
  asker_.answers.push_back({ASK_ESCAPE, 3});
  answer(CANCEL);
  Configurator f = cfg();
  EXPECT_EQ(main_menu(f), 0);
  ASSERT_EQ(asker_.choices.size(), 2u);
  EXPECT_EQ(asker_.choices[1].current, 0);
  EXPECT_EQ(asker_.notices, std::vector<std::string>{"Exit without saving changes"});
  EXPECT_EQ(status(), "AUDSET_OK\n");
  EXPECT_FALSE(kvltest::file_exists(dir_ / "etc/devices.cfg"));
}

TEST_F(MenuTest, HeaderLinesFollowTheCardList) {
  answer(ADD);
  answer(ASK_USE_ITEM);  // the add dialog's first line: Card one
  answer(SAVE);
  Configurator f = cfg();
  EXPECT_EQ(main_menu(f), 1);
  ASSERT_EQ(asker_.choices.size(), 3u);
  EXPECT_EQ(asker_.choices[2].headers, std::vector<std::string>{"Card one"});
  EXPECT_EQ(status(), "AUDSET\n");  // the caller writes the files, then AUDSET_OK
}

TEST_F(MenuTest, AutodetectionWithoutDriverEmptiesTheListOnce) {
  add("ONE");
  kvltest::write_file(dir_ / "etc/dspdevs.map", "0 \n");
  run_->control.no_driver = 1;
  Configurator f = cfg();
  answer(AUTODETECT);  // not on the menu without a driver, but the code still works
  answer(CANCEL);
  main_menu(f);
  EXPECT_EQ(run_->model.cards.count, 0);
  EXPECT_FALSE(kvltest::file_exists(dir_ / "etc/dspdevs.map"));

  run_->model.detect.autodetect_done = 1;
  asker_ = kvltest::ScriptAsker{};
  answer(AUTODETECT);
  answer(CANCEL);
  main_menu(f);
  EXPECT_EQ(asker_.notices[0], "Can't run autodetection twice - restart audset");
}

TEST_F(MenuTest, SaveWithAConflictTellsThenSaves) {
  kvltest::write_file(dir_ / "etc/devices.cfg", "-BAD\n");
  answer(SAVE);
  Configurator f = cfg();
  ASSERT_EQ(configure(f), 0);
  // The pass after reading and the one at saving both fail to place the IRQ.
  EXPECT_EQ(asker_.notices,
            (std::vector<std::string>{"Error: No free interrupts", "Saving changes",
                                      "Error: No free interrupts",
                                      "Resource conflict detected. Edit configuration manually."}));
  EXPECT_EQ(status(), "AUDSET_OK\n");
  EXPECT_NE(kvltest::read_file(dir_ / "etc/devices.cfg"), "-BAD\n");  // in the program's form
  EXPECT_TRUE(kvltest::file_exists(dir_ / "etc/modules.cfg"));
}

// The status word each time the user is asked something.
class StatusAsker final : public Asker {
 public:
  StatusAsker(kvltest::ScriptAsker &script, std::string status_path)
      : script_(script), path_(std::move(status_path)) {}
  std::vector<std::string> seen;
  void notice(const std::string &text, bool wait) override { script_.notice(text, wait); }
  AskAnswer choose(const AskChoice &c) override {
    seen.push_back(kvltest::read_file(path_));
    return script_.choose(c);
  }
  int enter_text(const std::string &p, std::string &t, size_t b) override {
    return script_.enter_text(p, t, b);
  }

 private:
  kvltest::ScriptAsker &script_;
  std::string path_;
};

TEST_F(MenuTest, FailedSaveKeepsTheEditsAndTheOldFiles) {
  kvltest::write_file(dir_ / "etc/devices.cfg", "-ONE\n");
  std::filesystem::create_directory(dir_ / "etc/modules.cfg");  // cannot be replaced
  StatusAsker asker(asker_, dir_ / ".status");
  Configurator f{*run_, hw(), asker, dir_ / "etc/devices.cfg", dir_ / "etc/modules.cfg"};
  answer(ADD);
  asker_.answers.push_back({ASK_USE_ITEM, 1});  // Card two
  answer(SAVE);
  answer(CANCEL);
  ASSERT_EQ(configure(f), 0);
  const std::string why = "Saving failed: " + dir_ / "etc/modules.cfg: Is a directory";
  // The rewrite at entry and the save both fail; the menu comes back with the edit.
  EXPECT_EQ(asker_.notices, (std::vector<std::string>{why, "Adding: Card two", "Saving changes",
                                                     why, "Exit without saving changes"}));
  ASSERT_EQ(asker_.choices.size(), 4u);  // menu, add dialog, menu, menu again
  EXPECT_EQ(asker_.choices[3].headers, (std::vector<std::string>{"Card one", "Card two"}));
  EXPECT_EQ(asker.seen[3], "AUDSET\n");
  EXPECT_EQ(kvltest::read_file(dir_ / "etc/devices.cfg"), "-ONE\n");
  EXPECT_EQ(status(), "AUDSET_OK\n");  // Cancel
}

// Whenever the rewrite at entry would drop or change a line, the file as
// read is kept as devices.cfg.old first, even if the user cancels; a line
// with a NUL byte is refused as start-up refuses it, and a card line's
// device lines go with it instead of changing the card before.
TEST_F(MenuTest, FileAsReadIsKeptWhenTheRewriteLosesLines) {
  using namespace std::string_literals;
  db_.card("SBX", "Sound card", 0, {db_.device("fm", 0), db_.device("midi", 0)});
  db_.card("MIDI", "MIDI card", 0, {db_.device("midi", 0)});
  const std::string sbx = "-SBX #Sound card\nfm ON\nmidi ON\n#NEEDS_ISA\n";
  struct Case {
    const char *name;
    std::string text;
    const char *said;      // the line on standard error, or none: no .old
    std::string rewrite;   // a line the rewritten file holds
    std::string gone;      // text it no longer holds
  } cases[] = {
      {"an unknown card", "-ONE\n-NOPE\n-TWO\n", "Some card lines of ", "-TWO", "NOPE"},
      {"a NUL in a card line", sbx + "-MIDI #MIDI\0" "401\nmidi OFF\n"s, "Some card lines of ",
       "midi ON\n", "MIDI"},
      {"a comment", "# an old comment\n" + sbx, "The rewrite of ", "-SBX", "an old comment"},
      {"the configurator's own form", "", nullptr, "-SBX", "#nothing"},
  };
  hw();
  std::string own;  // the form the configurator writes, from the first run
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.said ? c.text : own;
    std::filesystem::remove(dir_ / "etc/devices.cfg.old");
    kvltest::write_file(dir_ / "etc/devices.cfg", text);
    run_ = std::make_unique<CoreRun>();
    run_->model.install_dir = dir_.path();
    run_->control.no_driver = 1;
    asker_ = kvltest::ScriptAsker{};
    answer(CANCEL);
    Configurator f = cfg();
    testing::internal::CaptureStderr();
    ASSERT_EQ(configure(f), 0);
    std::string err = testing::internal::GetCapturedStderr();
    std::string now = kvltest::read_file(dir_ / "etc/devices.cfg");
    if (own.empty() && now.find("-SBX") != std::string::npos) own = now;
    EXPECT_NE(now.find(c.rewrite), std::string::npos) << now;
    EXPECT_EQ(now.find(c.gone), std::string::npos) << now;
    if (c.said) {
      EXPECT_EQ(kvltest::read_file(dir_ / "etc/devices.cfg.old"), text);
      EXPECT_NE(err.find(c.said + dir_ / "etc/devices.cfg" + " "), std::string::npos) << err;
      EXPECT_NE(err.find("the file as read is kept as " + dir_ / "etc/devices.cfg.old\n"),
                std::string::npos)
          << err;
    } else {
      EXPECT_FALSE(kvltest::file_exists(dir_ / "etc/devices.cfg.old"));
      EXPECT_EQ(now, text);
    }
  }
}

TEST_F(MenuTest, FirstConfigurationWithoutDriverOpensTheAddDialog) {
  answer(ASK_ESCAPE);  // the add dialog
  answer(CANCEL);
  Configurator f = cfg();
  testing::internal::CaptureStderr();
  ASSERT_EQ(configure(f), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "No earlier configuration detected\n");
  ASSERT_EQ(asker_.choices.size(), 2u);
  EXPECT_EQ(asker_.choices[0].title, "Select a device to be added");
  EXPECT_EQ(run_->model.settings.irq_exclude, 0x18u);
  EXPECT_EQ(run_->model.settings.dma_exclude, 0x4u);
  EXPECT_FALSE(kvltest::file_exists(dir_ / "etc/devices.cfg"));
}

TEST_F(MenuTest, UnreadableConfigurationIsNotAFirstOne) {
  std::filesystem::create_directory(dir_ / "etc/devices.cfg");
  Configurator f = cfg();
  testing::internal::CaptureStderr();
  EXPECT_EQ(configure(f), -1);
  EXPECT_EQ(errno, EISDIR);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(asker_.choices.empty());
}

}  // namespace
