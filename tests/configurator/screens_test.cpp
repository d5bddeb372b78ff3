// Manual configuration, security setup and the options editor, answered by a
// scripted user over a small database.
#include "configurator/screens.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>

#include "model_fixture.h"
#include "cardcfg/cardlist.h"
#include "configurator/configurator.h"
#include "entry/entry.h"
#include "settings/option_table.h"

namespace {

using namespace kvl;
using cardtest::Db;

HwdbResource listed(HwdbResource r, std::initializer_list<int> values, int flags = 0) {
  for (int v : values) r.values[r.count++] = v;
  r.flags = static_cast<uint8_t>(flags);
  r.def = *values.begin();
  return r;
}
HwdbResource masked(HwdbResource r, uint32_t mask) {
  r.count = 1;
  r.mask = static_cast<int32_t>(mask);
  return r;
}

class ScreensTest : public cfgtest::ConfiguratorTest {
 protected:
  void SetUp() override {
    ConfiguratorTest::SetUp();
    int audio = db_.device("aud", 0,
                           {listed(cardtest::port_res(1, 16), {0x220, 0x240}),
                            masked(cardtest::irq_res(1), 1 << 5 | 1 << 7),
                            masked(cardtest::dma_res(1), 0x3), masked(cardtest::dma_res(2), 0x60)});
    db_.node(audio).descr = db_.text("Digital audio\nThe card's audio part.");
    int fm = db_.device("fm", OPT_MAY_DISABLE,
                        {listed(cardtest::port_res(1, 4), {0x388}, RF_FIXED)});
    int midi = db_.device("midi", 0, {listed(cardtest::port_res(1, 2), {0x330, 0x300})});
    int card = db_.card("ISA", "ISA card", 0, {fm, midi, audio});
    db_.node(card).dnld = 1;
    db_.card("PCI", "PCI card", OPT_NO_ALLOC, {db_.device("pcidev", 0)});
  }
  // The ISA card with every value set: FM at 388, MIDI at 330, audio 220, 5, 1, 5.
  void add_isa() {
    add("ISA");
    CardDevice *d = card(run_->model.cards.count - 1).devices;
    d[0].port = 0x388;
    d[1].port = 0x330;
    d[2].port = 0x220, d[2].irq[0] = 5, d[2].dma[0] = 1, d[2].dma[1] = 5;
    std::strcpy(card(run_->model.cards.count - 1).download_path, "/fw/isa.bin");
  }
  std::vector<std::string> texts(const AskChoice &c) const {
    std::vector<std::string> out;
    for (const AskItem &i : c.items) out.push_back(i.text);
    return out;
  }
  int line_of(const ManualList &l, const std::string &text) const {
    for (size_t i = 0; i < l.lines.size(); i++)
      if (l.lines[i].text == text) return static_cast<int>(i);
    return -1;
  }
};

TEST_F(ScreensTest, ManualListShowsEveryCardDeviceAndValue) {
  add_isa();
  add("PCI");
  card(0).devices[1].enabled = 0;  // the MIDI port
  card(0).devices[2].dma[1] = -1;
  ManualList l = build_manual_list(run_->model, hw());
  const std::vector<std::string> want = {
      "Card: ISA card",
      "      Download file: /fw/isa.bin",
      "",
      "      Device: fm (enabled)",
      "         I/O port = 388",
      "      Device: midi (DISABLED)",
      "      Device: Digital audio (enabled)",
      "         I/O port = 220",
      "         IRQ      = 5",
      "         DMA (A)  = 1",
      "         DMA (B)  = not assigned",
      "",
      "Card: PCI card",
      "      PnP device - No manually configurable resources",
      "",
  };
  std::vector<std::string> got;
  for (const AskItem &i : l.lines) got.push_back(i.text);
  EXPECT_EQ(got, want);
  // Selectable: the download, each device and each resource but the fixed port.
  std::vector<int> types;
  for (const AskItem &i : l.lines)
    if (i.code != ASK_ESCAPE) types.push_back(l.actions.at(i.code).type);
  EXPECT_EQ(types, (std::vector<int>{MANUAL_DOWNLOAD, MANUAL_DISABLE, MANUAL_ENABLE, MANUAL_DISABLE,
                                     MANUAL_PORT, MANUAL_IRQ, MANUAL_DMA, MANUAL_DMA}));
}

TEST_F(ScreensTest, ManualActionsKeepTheLineCurrent) {
  add_isa();
  Configurator f = cfg();
  ManualList l = build_manual_list(run_->model, hw());
  int fm = line_of(l, "      Device: fm (enabled)");
  int midi = line_of(l, "      Device: midi (enabled)");
  int irq = line_of(l, "         IRQ      = 5");
  answer(l.lines[fm].code, fm);      // disable the FM synthesizer: allowed
  answer(l.lines[midi].code, midi - 1);  // disabling the MIDI port is not (its line moved up one)
  answer(ASK_USE_ITEM + 1000, 0);    // no such code: leaves
  manual_configuration(f);
  EXPECT_EQ(card(0).devices[0].enabled, 0);
  EXPECT_EQ(card(0).devices[1].enabled, 1);
  EXPECT_EQ(asker_.notices, std::vector<std::string>{"Can't disable this device"});
  ASSERT_EQ(asker_.choices.size(), 3u);
  EXPECT_EQ(asker_.choices[1].current, fm);
  EXPECT_EQ(asker_.choices[1].items[fm].text, "      Device: fm (DISABLED)");
  EXPECT_EQ(asker_.choices[1].items[fm + 1].text, "      Device: midi (enabled)");  // port line hidden
  EXPECT_EQ(asker_.choices[0].title, "Kelvane - Manual configuration");
  ASSERT_EQ(asker_.choices[0].buttons.size(), 1u);
  EXPECT_EQ(asker_.choices[0].buttons[0].label, "  Ok  ");

  // The IRQ line: its dialog, then a resource pass; enabling runs the pass too.
  asker_ = kvltest::ScriptAsker{};
  l = build_manual_list(run_->model, hw());
  irq = line_of(l, "         IRQ      = 5");
  fm = line_of(l, "      Device: fm (DISABLED)");
  answer(l.lines[irq].code, irq);
  answer(7);  // the IRQ dialog
  answer(l.lines[fm].code, fm);
  answer(-1, fm);  // Ok
  manual_configuration(f);
  EXPECT_EQ(card(0).devices[2].irq[0], 7);
  EXPECT_EQ(card(0).devices[0].enabled, 1);
  EXPECT_EQ(card(0).devices[0].port, 0x388);  // the fixed port, taken by the pass
  ASSERT_EQ(asker_.choices.size(), 4u);
  EXPECT_EQ(asker_.choices[1].title, "Select IRQ for ISA card");
  EXPECT_EQ(asker_.choices[2].current, irq);
  EXPECT_EQ(asker_.choices[2].items[irq].text, "         IRQ      = 7");
}

TEST_F(ScreensTest, ManualListHoldsEveryLineOfAFullConfiguration) {
  // Ten cards of ten devices with three resources each: far over 200 lines.
  Db big;
  std::vector<int> devices;
  for (int d = 0; d < MAX_CARD_DEVICES; d++)
    devices.push_back(big.device("dev", 0,
                                 {listed(cardtest::port_res(1, 2), {0x300 + 2 * d}),
                                  masked(cardtest::irq_res(1), 1 << 5),
                                  masked(cardtest::dma_res(1), 1 << 1)}));
  big.card("BIG", "Big card", 0, {devices[0], devices[1], devices[2], devices[3], devices[4],
                                  devices[5], devices[6], devices[7], devices[8], devices[9]});
  const HwdbModel &db = big.model();
  for (int c = 0; c < MAX_CARDS; c++) ASSERT_GT(add_card(run_->model, db, asker_, "BIG", 0), 0);
  ManualList l = build_manual_list(run_->model, db);
  EXPECT_EQ(l.lines.size(), static_cast<size_t>(MAX_CARDS * (2 + MAX_CARD_DEVICES * 4)));
  EXPECT_EQ(l.lines.back().text, "");
  EXPECT_EQ(l.actions.size(), static_cast<size_t>(MAX_CARDS * MAX_CARD_DEVICES * 4));
}

TEST_F(ScreensTest, SecuritySetup) {
  struct Case {
    int before;
    AskAnswer answer;
    int after;
  } cases[] = {
      {0, {ASK_USE_ITEM, 0}, 0},  // the item currently selected
      {0, {ASK_USE_ITEM, 1}, 1},
      {1, {0, 1}, 0},             // chosen directly by its code
      {1, {ASK_ESCAPE, 1}, 1},
      {1, {-1, 1}, 1},            // Cancel
  };
  for (const Case &c : cases) {
    run_->model.settings.secure_audio = c.before;
    asker_ = kvltest::ScriptAsker{};
    asker_.answers.push_back(c.answer);
    Configurator f = cfg();
    security_setup(f);
    EXPECT_EQ(run_->model.settings.secure_audio, c.after) << c.before << " " << c.answer.code;
    const AskChoice &q = asker_.choices.at(0);
    EXPECT_EQ(q.title, "Security Setup");
    EXPECT_EQ(q.headers.size(), 5u);
    EXPECT_EQ(q.headers[4], "to this machine (it's connected to a network).");
    EXPECT_EQ(texts(q)[0], c.before ? "Disable read access to audio devices (currently selected)"
                                    : "Enable read access to audio devices (currently selected)");
    EXPECT_EQ(q.items[0].code, c.before);
  }
}

constexpr int SAVE = -2, CANCEL = -3;

class OptionsTest : public ScreensTest {
 protected:
  std::string path() const { return dir_ / "etc/options.cfg"; }
  // The item shown for option name in the last list, or "".
  std::string item(const std::string &name) const {
    for (const AskItem &i : asker_.choices.back().items)
      if (i.text.rfind(name + "=", 0) == 0 || i.text.rfind(name + " (", 0) == 0) return i.text;
    return "";
  }
  int code_of(const std::string &name) const {
    for (const AskItem &i : asker_.choices.front().items)
      if (i.text.rfind(name, 0) == 0) return i.code;
    return -100;
  }
  void run_editor() {
    Configurator f = cfg();
    testing::internal::CaptureStderr();
    edit_options(f);
    err_ = testing::internal::GetCapturedStderr();
  }
  std::string err_;

  // Sets softkvl_rate, saves under a file-size limit, then cancels. Exits 0
  // when the box said why and the list came back with the edit. Standard
  // error is dropped: it is a file too, under the same limit.
  void save_under_size_limit(int rate) {
    if (!std::freopen("/dev/null", "w", stderr)) std::exit(3);
    struct rlimit limit = {8, 8};
    setrlimit(RLIMIT_FSIZE, &limit);
    asker_ = kvltest::ScriptAsker{};
    asker_.answers = {{rate, 0}, {SAVE, 0}, {CANCEL, 0}};
    asker_.texts = {std::string("44100")};
    Configurator f = cfg();
    edit_options(f);
    int shown = 0;
    for (const AskItem &i : asker_.choices.back().items) shown += i.text == "softkvl_rate=44100";
    bool told = asker_.notices == std::vector<std::string>{path() + ": File too large"};
    std::exit(told && asker_.choices.size() == 3 && shown == 1 ? 0 : 1);
  }
};

TEST_F(OptionsTest, FileValuesAreShownAndUnsetOptionsSaySo) {
  kvltest::write_file(path(),
                      "softkvl_rate=48000\nbe_quiet=3\nbe_quiet=12abc\nno equals sign\n"
                      "trace_init=1\nunknown_name=5\n");
  answer(CANCEL);
  run_editor();
  EXPECT_EQ(item("softkvl_rate"), "softkvl_rate=48000");
  EXPECT_EQ(item("be_quiet"), "be_quiet=12");     // the later line, its leading number
  EXPECT_EQ(item("src_quality"), "src_quality (not set)");
  EXPECT_EQ(item("trace_init"), "");              // hidden
  EXPECT_EQ(asker_.choices[0].title, "Kelvane - Config options");
  EXPECT_EQ(asker_.choices[0].buttons[0].label, "  Save  ");
  EXPECT_EQ(asker_.choices[0].buttons[1].label, "  Cancel  ");
  EXPECT_EQ(err_, "Invalid line in etc/options.cfg: 'no equals sign'\n");
  EXPECT_EQ(kvltest::read_file(path()).substr(0, 19), "softkvl_rate=48000\n");  // untouched
}

TEST_F(OptionsTest, EditsAndSaveInTableOrderWithHiddenOnesKept) {
  kvltest::write_file(path(), "softkvl_rate=48000\ntrace_init=1\n");
  answer(CANCEL);
  run_editor();  // learns the item codes
  int be_quiet = code_of("be_quiet"), rate = code_of("softkvl_rate");
  asker_ = kvltest::ScriptAsker{};
  answer(be_quiet);
  asker_.texts.push_back("-4");
  answer(rate, 5);
  asker_.texts.push_back("");  // an empty entry keeps the value
  answer(rate);
  asker_.texts.push_back("12abc");  // so does anything but a whole number
  answer(rate);
  asker_.texts.push_back(std::nullopt);  // Cancel
  answer(SAVE);
  run_editor();
  EXPECT_EQ(asker_.prompts,
            (std::vector<std::string>{"Enter value for be_quiet=", "Enter value for softkvl_rate=",
                                      "Enter value for softkvl_rate=",
                                      "Enter value for softkvl_rate="}));
  for (const AskChoice &c : asker_.choices) EXPECT_EQ(c.current, 0);
  // Table order, hidden options too.
  int quiet_index = find_option("be_quiet") - OptionTable;
  EXPECT_NE(err_.find("Edit " + std::to_string(quiet_index) + ": be_quiet\n"), std::string::npos)
      << err_;
  std::string want;
  for (const OptionEntry &o : OptionTable) {
    if (std::string(o.name) == "trace_init") want += "trace_init=1\n";
    if (std::string(o.name) == "be_quiet") want += "be_quiet=-4\n";
    if (std::string(o.name) == "softkvl_rate") want += "softkvl_rate=48000\n";
  }
  EXPECT_EQ(kvltest::read_file(path()), want);
}

TEST_F(OptionsTest, MissingFileOpensEmptyAndSaveCreatesIt) {
  answer(SAVE);
  run_editor();
  for (const AskItem &i : asker_.choices[0].items)
    EXPECT_NE(i.text.find(" (not set)"), std::string::npos) << i.text;
  EXPECT_EQ(kvltest::read_file(path()), "");
  EXPECT_TRUE(kvltest::file_exists(path()));
}

TEST_F(OptionsTest, UnreadableFileShowsWhyAndNoEditor) {
  std::filesystem::create_directory(path());
  run_editor();
  EXPECT_TRUE(asker_.choices.empty());
  EXPECT_EQ(asker_.notices, std::vector<std::string>{path() + ": " + std::strerror(EISDIR)});
}

// A save that fails (a file-size limit) shows why, keeps the old file whole
// and brings the list back with the edit; runs in a child process.
TEST_F(OptionsTest, FailedSaveKeepsTheOldFileAndTheEdits) {
  const std::string old = "softkvl_rate=48000\nbe_quiet=1\n";
  kvltest::write_file(path(), old);
  answer(CANCEL);
  run_editor();
  int rate = code_of("softkvl_rate");
  EXPECT_EXIT(save_under_size_limit(rate), testing::ExitedWithCode(0), "");
  EXPECT_EQ(kvltest::read_file(path()), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "etc"),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left
}

}  // namespace
