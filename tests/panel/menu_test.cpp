// The control menu and the reorder dialog in this process, answered by a
// scripted user, against a simulated driver with three audio devices whose
// three routing lists differ.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "machine_fixture.h"
#include "routing_lists.h"
#include "panel/panel.h"
#include "script_asker.h"

namespace {

using namespace kvl;
using nlohmann::json;

constexpr int SAVE = 1, DISCARD = 2, SELF_TEST = 5;
constexpr int MOVE_UP = 0x7ffffffd, MOVE_DOWN = 0x7ffffffc, OK = -2, CANCEL = -1;

const char *const kMachine = R"({
  "drivers": [{"name": "ICH", "key": 21}],
  "pci": [{"name": "ICH5", "driver": "ICH", "irq": 11,
           "audio": [{"name": "SB16 DSP"},
                     {"name": "ICH5 AC97 multichannel", "channels": 6, "ac3": true},
                     {"name": "Rear DAC", "channels": 4}]}]
})";
const char *const kMap = "0 1 2 \n2 0 1 \n1 2 \n";
const char *const kLines[] = {"/dev/dsp0: SB16 DSP",
                              "/dev/dsp1: ICH5 AC97 multichannel (MULTICH) (AC3)",
                              "/dev/dsp2: Rear DAC (MULTICH)"};

std::vector<std::string> self_tests;  // the directories the menu's self test ran with
void record_self_test(const std::string &dir) { self_tests.push_back(dir); }

// The scripted user; once its answers are used up, a failure and the way
// out of the question asked, so that a short script cannot loop for ever.
class Script final : public Asker {
 public:
  explicit Script(kvltest::ScriptAsker &script) : script_(script) {}
  void notice(const std::string &text, bool wait) override { script_.notice(text, wait); }
  AskAnswer choose(const AskChoice &c) override {
    if (!script_.answers.empty()) return script_.choose(c);
    ADD_FAILURE() << "no answer left for " << c.title;
    script_.choices.push_back(c);
    return {c.title == "Reorder devices" ? CANCEL : DISCARD, 0};
  }
  int enter_text(const std::string &p, std::string &t, size_t b) override {
    return script_.enter_text(p, t, b);
  }

 private:
  kvltest::ScriptAsker &script_;
};

using paneltest::devices_of;

class PanelMenu : public kvltest::MachineFixture {
 protected:
  PanelState st;
  kvltest::TempDir install;
  kvltest::ScriptAsker asker;
  Script user{asker};
  const std::vector<std::vector<int>> lists = {{0, 1, 2}, {2, 0, 1}, {1, 2}};

  void SetUp() override {
    start(kMachine);
    kvlsim("addcard", {"ICH"});
    kvlsim("activate");
    for (int k = 0; k < ROUTE_COUNT; k++) {
      RoutingRecord rec = {};
      rec.mode = k + 1;
      rec.count = static_cast<int>(lists[k].size());
      for (size_t i = 0; i < lists[k].size(); i++) rec.devices[i] = static_cast<uint8_t>(lists[k][i]);
      ASSERT_EQ(control_send(control, CTL_SET_REROUTE, &rec), 0);
    }
    std::filesystem::create_directories(install / "etc");
    kvltest::write_file(install / "etc/dspdevs.map", kMap);
    st.install_dir = install.path();
    st.control = control;
    std::string error;
    ASSERT_EQ(check_driver(st, &error), 0) << error;
    self_tests.clear();
  }

  void answer(int code, int current = 0) { asker.answers.push_back({code, current}); }
  int menu() {
    Panel p{st, user, record_self_test};
    return control_menu(p);
  }
  // The choices asked with this title, in order.
  std::vector<AskChoice> asked(const std::string &title) const {
    std::vector<AskChoice> out;
    for (const AskChoice &c : asker.choices)
      if (c.title == title) out.push_back(c);
    return out;
  }
  static std::vector<std::string> texts(const AskChoice &c) {
    std::vector<std::string> out;
    for (const AskItem &i : c.items) out.push_back(i.text);
    return out;
  }
  std::string map_text() const { return kvltest::read_file(install / "etc/dspdevs.map"); }
};

TEST_F(PanelMenu, OrderEscapeAndTheReturnToTheTop) {
  size_t sent_before = journal("Set reroute").size();
  answer(ASK_ESCAPE, 4);
  answer(SELF_TEST, 2);
  answer(ROUTE_MODES[ROUTE_OUTPUT].menu_code, 4);
  answer(CANCEL);  // the reorder dialog
  answer(99, 3);   // no such item
  answer(DISCARD, 1);
  EXPECT_EQ(menu(), 0);

  std::vector<AskChoice> menus = asked("Kelvane - Control menu");
  ASSERT_EQ(menus.size(), 5u);
  const AskChoice &m = menus[0];
  std::vector<std::pair<std::string, int>> items;
  for (const AskItem &i : m.items) items.push_back({i.text, i.code});
  EXPECT_EQ(items, (std::vector<std::pair<std::string, int>>{
                       {"Save changes and Exit", 1},
                       {"Cancel changes and Exit", 2},
                       {"Audio self test", 5},
                       {"/dev/dsp input device assignment", 6},
                       {"/dev/dsp output device assignment", 7},
                       {"/dev/dsp duplex device assignment", 8}}));
  ASSERT_EQ(m.buttons.size(), 2u);
  EXPECT_EQ(m.buttons[0].label, "Save and exit");
  EXPECT_EQ(m.buttons[0].code, 1);
  EXPECT_EQ(m.buttons[1].label, "Exit without saving");
  EXPECT_EQ(m.buttons[1].code, 2);
  EXPECT_TRUE(m.headers.empty());
  for (const AskChoice &c : menus) EXPECT_EQ(c.current, 0);

  EXPECT_EQ(self_tests, std::vector<std::string>{install.path()});
  ASSERT_EQ(asked("Reorder devices").size(), 1u);
  EXPECT_EQ(texts(asked("Reorder devices")[0]),
            (std::vector<std::string>{kLines[2], kLines[0], kLines[1]}));
  EXPECT_EQ(asker.notices, std::vector<std::string>{"Exit without saving changes"});
  EXPECT_EQ(journal("Set reroute").size(), sent_before);
  EXPECT_EQ(map_text(), kMap);
}

// Each list: the line at 1 chosen, moved up, OK, then saved; only that list
// changes, in the driver and on its own line of the file.
TEST_F(PanelMenu, EachListReorderedAndSaved) {
  struct Case {
    int route;
    std::vector<std::string> shown;
    std::vector<int> after;
    std::string file;
  } cases[] = {
      {ROUTE_INPUT, {kLines[0], kLines[1], kLines[2]}, {1, 0, 2}, "1 0 2 \n2 0 1 \n1 2 \n"},
      {ROUTE_OUTPUT, {kLines[2], kLines[0], kLines[1]}, {0, 2, 1}, "0 1 2 \n0 2 1 \n1 2 \n"},
      {ROUTE_DUPLEX, {kLines[1], kLines[2]}, {2, 1}, "0 1 2 \n2 0 1 \n2 1 \n"},
  };
  for (const Case &c : cases) {
    TearDown();
    SetUp();
    asker = kvltest::ScriptAsker{};
    size_t sent_before = journal("Set reroute").size();
    answer(ROUTE_MODES[c.route].menu_code);
    answer(1, 1);        // the second line: only the highlight moves
    answer(MOVE_UP, 1);  // the device with it
    answer(OK, 0);
    answer(SAVE);
    EXPECT_EQ(menu(), 1) << c.route;

    std::vector<AskChoice> dialogs = asked("Reorder devices");
    ASSERT_EQ(dialogs.size(), 3u) << c.route;
    EXPECT_EQ(texts(dialogs[0]), c.shown) << c.route;
    EXPECT_EQ(dialogs[0].headers,
              (std::vector<std::string>{
                  "Select a device and move it up/down with the function buttons", ""}));
    std::vector<std::pair<std::string, int>> buttons;
    for (const AskButton &b : dialogs[0].buttons) buttons.push_back({b.label, b.code});
    EXPECT_EQ(buttons, (std::vector<std::pair<std::string, int>>{
                           {" Move Up ", MOVE_UP}, {" Move Down ", MOVE_DOWN},
                           {" OK ", OK}, {" Cancel ", CANCEL}}));
    EXPECT_EQ(dialogs[0].items[1].code, 1);
    EXPECT_EQ(dialogs[0].current, 0);
    EXPECT_EQ(dialogs[1].current, 1);
    EXPECT_EQ(dialogs[2].current, 0) << "the highlight follows the moved device";
    EXPECT_EQ(dialogs[2].items[0].text, c.shown[1]);

    EXPECT_EQ(asker.notices, std::vector<std::string>{"Saving changes"});
    auto sent = journal("Set reroute");
    ASSERT_EQ(sent.size(), sent_before + 3) << c.route;
    for (int k = 0; k < ROUTE_COUNT; k++) {
      EXPECT_EQ(sent[sent_before + k]["mode"], k + 1);
      EXPECT_EQ(devices_of(sent[sent_before + k]), k == c.route ? c.after : lists[k]) << c.route;
    }
    EXPECT_EQ(map_text(), c.file);
    EXPECT_TRUE(st.after_screen.empty());
  }
}

// The dialog alone: what each script leaves in the list, and the highlight
// each round starts on.
TEST_F(PanelMenu, ReorderDialogMovesAndTheRememberedLine) {
  struct Case {
    const char *name;
    std::vector<AskAnswer> script;
    std::vector<int> after;
    std::vector<int> currents;
  } cases[] = {
      {"down follows the device", {{MOVE_DOWN, 0}, {OK, 1}}, {1, 0, 2}, {0, 1}},
      {"the highlight, not the remembered line, is moved", {{MOVE_UP, 2}, {OK, 0}}, {0, 2, 1}, {0, 1}},
      {"down at the bottom", {{MOVE_DOWN, 2}, {OK, 2}}, {0, 1, 2}, {0, 0}},
      {"up at the top", {{MOVE_UP, 0}, {OK, 0}}, {0, 1, 2}, {0, 0}},
      {"Escape keeps the remembered line", {{2, 2}, {ASK_ESCAPE, 0}, {OK, 0}}, {0, 1, 2}, {0, 2, 2}},
      {"Cancel after moves", {{MOVE_DOWN, 0}, {MOVE_DOWN, 1}, {CANCEL, 2}}, {0, 1, 2}, {0, 1, 2}},
      {"OK after moves", {{MOVE_DOWN, 0}, {MOVE_DOWN, 1}, {OK, 2}}, {1, 2, 0}, {0, 1, 2}},
  };
  for (const Case &c : cases) {
    asker = kvltest::ScriptAsker{};
    for (const AskAnswer &a : c.script) asker.answers.push_back(a);
    RoutingRecord rec = st.routes[ROUTE_INPUT];
    size_t infos = journal("SNDCTL_AUDIOINFO").size();
    reorder_devices(st.control, user, rec);
    EXPECT_EQ(devices_of(rec), c.after) << c.name;
    EXPECT_EQ(rec.count, 3) << c.name;
    std::vector<int> currents;
    for (const AskChoice &ch : asker.choices) currents.push_back(ch.current);
    EXPECT_EQ(currents, c.currents) << c.name;
    // Every round reads every device's information again.
    EXPECT_EQ(journal("SNDCTL_AUDIOINFO").size(), infos + 3 * c.script.size()) << c.name;
  }
  EXPECT_TRUE(asker.notices.empty());
}

TEST_F(PanelMenu, RefusedInformationAndAnEmptyList) {
  fault("SNDCTL_AUDIOINFO", "EIO", 2);  // the dialog's second request
  answer(ASK_ESCAPE);
  answer(CANCEL);
  reorder_devices(st.control, user, st.routes[ROUTE_INPUT]);
  ASSERT_EQ(asker.choices.size(), 2u);
  EXPECT_EQ(texts(asker.choices[0]),
            (std::vector<std::string>{kLines[0], "/dev/dsp1: unknown", kLines[2]}));
  EXPECT_EQ(texts(asker.choices[1])[1], kLines[1]);

  asker = kvltest::ScriptAsker{};
  RoutingRecord empty = {};
  empty.mode = 2;
  reorder_devices(st.control, user, empty);
  EXPECT_EQ(asker.notices, std::vector<std::string>{"No devices to reorder"});
  EXPECT_TRUE(asker.choices.empty());
}

TEST_F(PanelMenu, CancelAfterReorderingSendsNothing) {
  size_t sent_before = journal("Set reroute").size();
  answer(ROUTE_MODES[ROUTE_INPUT].menu_code);
  answer(MOVE_DOWN, 0);
  answer(OK, 1);
  answer(DISCARD);
  EXPECT_EQ(menu(), 0);
  EXPECT_EQ(devices_of(st.routes[ROUTE_INPUT]), (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(asker.notices, std::vector<std::string>{"Exit without saving changes"});
  EXPECT_EQ(journal("Set reroute").size(), sent_before);
  EXPECT_EQ(map_text(), kMap);
}

// A save that cannot write the file: its box, the menu again with the
// reordering kept, and the path line and "Saving config failed" for after
// the screen.
TEST_F(PanelMenu, FailedSaveReturnsToTheMenu) {
  std::filesystem::remove_all(install / "etc");
  size_t sent_before = journal("Set reroute").size();
  answer(ROUTE_MODES[ROUTE_DUPLEX].menu_code);
  answer(MOVE_DOWN, 0);
  answer(OK, 1);
  answer(SAVE, 0);
  answer(DISCARD);
  EXPECT_EQ(menu(), 0);
  std::string path = install / "etc/dspdevs.map";
  EXPECT_EQ(asker.notices,
            (std::vector<std::string>{"Saving changes",
                                      "Cannot write " + path + ": No such file or directory",
                                      "Exit without saving changes"}));
  EXPECT_EQ(asked("Kelvane - Control menu").size(), 3u);
  EXPECT_EQ(devices_of(st.routes[ROUTE_DUPLEX]), (std::vector<int>{2, 1}));
  EXPECT_EQ(st.after_screen, (std::vector<std::string>{path + ": No such file or directory",
                                                       "Saving config failed"}));
  EXPECT_EQ(journal("Set reroute").size(), sent_before);
}

}  // namespace
