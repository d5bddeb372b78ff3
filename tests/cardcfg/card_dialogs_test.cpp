// The card-list dialogs answered by a scripted user: what each offers, what
// each answer does to the card list and the routing file.
#include "cardcfg/card_dialogs.h"
#include "cardcfg/cardlist.h"
#include "fixture.h"

#include <filesystem>

namespace cardtest {
namespace {

using namespace kvl;

constexpr int CANCEL = -1;

class DialogTest : public CardcfgTest {
 protected:
  Db db_;
  const HwdbModel *view_ = nullptr;

  void SetUp() override {
    CardcfgTest::SetUp();
    HwdbResource port = port_res(1, 8);
    for (int v : {0x220, 0x240}) port.values[port.count++] = v;
    HwdbResource irq = irq_res(1);
    irq.count = 1;
    irq.mask = 1 << 5 | 1 << 7;
    int isa = db_.card("ISA1", "First ISA card", 0,
                       {db_.device("aud", 0, {port, irq}), db_.device("fm", 0)});
    db_.node(isa).descr = db_.text("The first card.\nIt has two devices.");
    db_.card("ISA2", "Second card, see README.isa2", 0, {db_.device("aud2", 0)});
    db_.card("ISA3", "Third card", 0, {db_.device("aud3", 0)});
    db_.card("PNP1", "Plug and play card", OPT_PNP, {db_.device("pnp", 0)});
    db_.card("PCI1", "PCI card", OPT_NOT_MANUAL, {db_.device("pci", 0)});
  }
  const HwdbModel &hw() {
    if (!view_) view_ = &db_.model();
    return *view_;
  }
  void add(const char *key) { ASSERT_GT(kvl::add_card(model(), hw(), asker(), key, 0), 0); }
  std::vector<AskChoice> &asked() { return asker().choices; }
  void answer(int code, int current = 0) { asker().answers.push_back({code, current}); }
  std::vector<std::string> item_texts(const AskChoice &c) {
    std::vector<std::string> out;
    for (const AskItem &i : c.items) out.push_back(i.text);
    return out;
  }
  std::vector<std::string> card_keys() {
    std::vector<std::string> out;
    for (int i = 0; i < model().cards.count; i++) out.push_back(model().cards.cards[i].name);
    return out;
  }
  std::string routing() const { return dir_ + "/etc/dspdevs.map"; }
  void write_routing() {
    std::filesystem::create_directories(dir_ + "/etc");
    kvltest::write_file(routing(), "0 1 \n");
  }
};

TEST_F(DialogTest, AddListHidesPlugAndPlayAndPciCardsWhileADriverAnswers) {
  const std::vector<std::string> isa = {"First ISA card", "Second card, see README.isa2",
                                        "Third card"};
  for (bool no_driver : {false, true}) {
    asker() = kvltest::ScriptAsker{};
    EXPECT_EQ(add_card_dialog(model(), hw(), asker(), no_driver), 0);  // Escape
    ASSERT_EQ(asked().size(), 1u);
    const AskChoice &c = asked()[0];
    EXPECT_EQ(c.title, "Select a device to be added");
    ASSERT_EQ(c.headers.size(), 5u);
    EXPECT_EQ(c.headers[0], "NOTE! PnP and PCI devices cannot be added manually and they are not");
    EXPECT_EQ(c.headers[4], "      to configure any newly installed PCI or PnP devices.");
    std::vector<std::string> want = isa;
    if (no_driver) want.insert(want.end(), {"Plug and play card", "PCI card"});
    EXPECT_EQ(item_texts(c), want) << no_driver;
    ASSERT_EQ(c.buttons.size(), 3u);
    EXPECT_EQ(c.buttons[0].label, " Add ");
    EXPECT_EQ(c.buttons[1].label, " Cancel ");
    EXPECT_EQ(c.buttons[2].label, " Card Info ");
  }
  EXPECT_EQ(model().cards.count, 0);
}

TEST_F(DialogTest, AddingAsksEveryUnfixedResourceAndForgetsTheRouting) {
  write_routing();
  answer(ASK_HELP, 0);       // Card Info on the first card, then the list again
  answer(ASK_ESCAPE);        // closes the information window
  answer(ASK_USE_ITEM, 0);   // Add
  answer(0x240);             // the port dialog
  answer(7);                 // the IRQ dialog
  EXPECT_EQ(add_card_dialog(model(), hw(), asker(), false), 1);
  EXPECT_EQ(card_keys(), std::vector<std::string>{"ISA1"});
  ASSERT_EQ(asked().size(), 5u);
  EXPECT_EQ(asked()[1].title, "First ISA card");             // the information window
  EXPECT_EQ(asked()[2].current, 0);                          // the list again, same line
  EXPECT_EQ(asked()[3].title, "Select I/O port for First ISA card");
  EXPECT_EQ(asked()[4].title, "Select IRQ for First ISA card");
  EXPECT_EQ(notices(), std::vector<std::string>{"Adding: First ISA card"});
  const CardDevice &d = model().cards.cards[0].devices[0];
  EXPECT_EQ(d.port, 0x240);
  EXPECT_EQ(d.irq[0], 7);
  EXPECT_FALSE(kvltest::file_exists(routing()));
}

TEST_F(DialogTest, EleventhCardIsRefusedWithoutQuestions) {
  // The last card's resources are unassigned: checking it would ask.
  for (int i = 0; i < MAX_CARDS; i++) add("ISA1");
  write_routing();
  answer(2);  // "Third card", chosen directly by its row
  EXPECT_EQ(add_card_dialog(model(), hw(), asker(), false), 0);
  EXPECT_EQ(model().cards.count, MAX_CARDS);
  EXPECT_EQ(asked().size(), 1u);  // no resource dialog for a card not added
  EXPECT_EQ(notices(), (std::vector<std::string>{"Adding: Third card", "Too many devices"}));
  EXPECT_TRUE(kvltest::file_exists(routing()));
}

TEST_F(DialogTest, CardInfoForms) {
  std::filesystem::create_directories(dir_ + "/docs");
  kvltest::write_file(dir_ + "/docs/README.isa2", "Line one\r\n" + std::string(300, 'x') + "\n");
  struct Case {
    const char *key;
    std::vector<std::string> lines;
  } cases[] = {
      {"ISA1",
       {"Information about First ISA card", "================================", "",
        "The first card.", "It has two devices.", ""}},
      {"ISA2", {"Line one", std::string(254, 'x')}},
      {"ISA3", {"Sorry. No further information about this device."}},
  };
  for (const Case &c : cases) {
    asker() = kvltest::ScriptAsker{};
    show_card_info(model(), hw(), asker(), c.key);
    ASSERT_EQ(asked().size(), 1u) << c.key;
    EXPECT_EQ(item_texts(asked()[0]), c.lines) << c.key;
    ASSERT_EQ(asked()[0].buttons.size(), 1u);
    EXPECT_EQ(asked()[0].buttons[0].label, " Ok ");
  }
  std::filesystem::remove(dir_ + "/docs/README.isa2");  // a missing file shows nothing
  asker() = kvltest::ScriptAsker{};
  show_card_info(model(), hw(), asker(), "ISA2");
  EXPECT_TRUE(asked()[0].items.empty());

  testing::internal::CaptureStderr();
  show_card_info(model(), hw(), asker(), "NOPE");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Card 'NOPE' not found in database\n");
}

TEST_F(DialogTest, RemovingTheOnlyCardThenNothingToDelete) {
  add("ISA3");
  write_routing();
  answer(CANCEL);
  remove_card_dialog(model(), hw(), asker());
  EXPECT_EQ(model().cards.count, 1);
  EXPECT_TRUE(kvltest::file_exists(routing()));
  EXPECT_EQ(asked()[0].title, "Select device to be removed");
  EXPECT_EQ(item_texts(asked()[0]), std::vector<std::string>{"Third card"});

  answer(ASK_USE_ITEM, 0);
  remove_card_dialog(model(), hw(), asker());
  EXPECT_EQ(model().cards.count, 0);
  EXPECT_FALSE(kvltest::file_exists(routing()));
  remove_card_dialog(model(), hw(), asker());
  EXPECT_EQ(notices(), std::vector<std::string>{"No devices to delete"});
  EXPECT_EQ(asked().size(), 2u);
}

TEST_F(DialogTest, RemovingAMiddleCardMovesTheRestUp) {
  for (const char *k : {"ISA2", "ISA3", "ISA2"}) add(k);
  answer(1);  // the second line, chosen directly
  remove_card_dialog(model(), hw(), asker());
  EXPECT_EQ(card_keys(), (std::vector<std::string>{"ISA2", "ISA2"}));
}

TEST_F(DialogTest, Reorder) {
  constexpr int UP = 1, DOWN = 2;
  struct Case {
    const char *what;
    std::vector<AskAnswer> answers;
    std::vector<std::string> want;
    bool routing_kept;
  } cases[] = {
      {"first up, last down, OK", {{UP, 0}, {DOWN, 2}, {ASK_USE_ITEM, 2}},
       {"ISA1", "ISA2", "ISA3"}, false},
      {"moves then Cancel", {{DOWN, 0}, {DOWN, 1}, {CANCEL, 2}}, {"ISA1", "ISA2", "ISA3"}, true},
      {"moves then Escape", {{UP, 2}, {ASK_ESCAPE, 1}}, {"ISA1", "ISA2", "ISA3"}, true},
      {"last up twice, OK", {{UP, 2}, {UP, 1}, {ASK_USE_ITEM, 0}}, {"ISA3", "ISA1", "ISA2"}, false},
      {"first down, OK", {{DOWN, 0}, {ASK_USE_ITEM, 1}}, {"ISA2", "ISA1", "ISA3"}, false},
  };
  for (const Case &c : cases) {
    reset_model();
    for (const char *k : {"ISA1", "ISA2", "ISA3"}) add(k);
    write_routing();
    for (const AskAnswer &a : c.answers) asker().answers.push_back(a);
    reorder_cards_dialog(model(), hw(), asker());
    EXPECT_EQ(card_keys(), c.want) << c.what;
    EXPECT_EQ(kvltest::file_exists(routing()), c.routing_kept) << c.what;
  }
  // The dialog follows the moved card and offers the note and the four buttons.
  reset_model();
  for (const char *k : {"ISA1", "ISA2"}) add(k);
  answer(DOWN, 0);
  reorder_cards_dialog(model(), hw(), asker());
  ASSERT_EQ(asked().size(), 2u);
  EXPECT_EQ(asked()[0].title, "Reorder devices");
  EXPECT_EQ(asked()[0].headers.size(), 6u);
  EXPECT_EQ(asked()[0].buttons.size(), 4u);
  EXPECT_EQ(asked()[1].current, 1);
  EXPECT_EQ(item_texts(asked()[1]),
            (std::vector<std::string>{"Second card, see README.isa2", "First ISA card"}));

  reset_model();
  reorder_cards_dialog(model(), hw(), asker());
  EXPECT_EQ(notices(), std::vector<std::string>{"No devices to reorder"});
}

}  // namespace
}  // namespace cardtest
