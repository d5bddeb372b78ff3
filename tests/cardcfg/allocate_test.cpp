// Resource allocation: the conflict test, the checks of a full pass, the
// take-overs and their limits, the selection dialogs and the firmware prompt,
// answered by a scripted user.
#include "cardcfg/allocate_private.h"
#include "cardcfg/cardlist.h"
#include "cardcfg/model.h"
#include "fixture.h"

#include <cstring>
#include <fstream>

namespace cardtest {
namespace {

using namespace kvl;

HwdbResource io(std::initializer_list<int> values, int size = 16, int flags = 0, int def = 0) {
  HwdbResource r = port_res(1, size);
  for (int v : values) r.values[r.count++] = v;
  r.flags = static_cast<uint8_t>(flags);
  r.def = def;
  return r;
}

HwdbResource line(HwdbResource r, uint32_t mask, int flags, int def) {
  r.count = 1;
  r.mask = static_cast<int32_t>(mask);
  r.flags = static_cast<uint8_t>(flags);
  r.def = def;
  return r;
}
HwdbResource irq(uint32_t mask, int num = 1, int flags = 0, int def = 0) {
  return line(irq_res(num), mask, flags, def);
}
HwdbResource dma(uint32_t mask, int num = 1, int flags = 0, int def = 0) {
  return line(dma_res(num), mask, flags, def);
}

constexpr uint32_t IRQS = 1u << 5 | 1u << 7 | 1u << 9 | 1u << 10;

// Each test builds its own small database; cards are added by key.
class AllocTest : public CardcfgTest {
 protected:
  Db db_;
  const HwdbModel *view_ = nullptr;

  int card(const char *key, std::initializer_list<int> devices, int opt = 0) {
    view_ = nullptr;
    return db_.card(key, key, opt, devices);
  }
  const HwdbModel &hw() {
    if (!view_) view_ = &db_.model();
    return *view_;
  }
  void add(const char *key) { ASSERT_GT(kvl::add_card(model(), hw(), asker(), key, 0), 0) << key; }
  CardDevice &dev(int c, int d) { return model().cards.cards[c].devices[d]; }
  ResourceTables &tables() { return model().resources; }
  void rebuild() { rebuild_and_check_all(model(), hw(), asker()); }
  // The scripted user picks the line whose value is v.
  void pick(int v) { asker().answers.push_back({v, 0}); }
  std::vector<AskChoice> &asked() { return asker().choices; }
};

TEST(PortRangeFree, OverlapTouchAliasAndExtraRanges) {
  HwdbResource extra = io({0x220});
  extra.range_count = 1;
  extra.ranges[0][0] = 0x400;
  extra.ranges[0][1] = 4;
  struct Case {
    int first, last;   // the one registered entry
    int base, size;
    const HwdbResource *res;
    bool free;
  } cases[] = {
      {0x220, 0x22f, 0x230, 16, nullptr, true},    // touching above
      {0x220, 0x22f, 0x210, 16, nullptr, true},    // touching below
      {0x220, 0x22f, 0x22f, 16, nullptr, false},   // one port in common at its start
      {0x220, 0x22f, 0x211, 16, nullptr, false},   // one port in common at its end
      {0x224, 0x227, 0x220, 16, nullptr, false},   // the entry lies inside
      {0x200, 0x2ff, 0x220, 16, nullptr, false},   // the range lies inside
      {0x220, 0x22f, 0xa20, 16, nullptr, false},   // 0xa20 is also 0x220
      {0xa20, 0xa2f, 0x220, 16, nullptr, false},   // and the other way round
      {0xa20, 0xa2f, 0x1220, 16, nullptr, false},  // both aliases are 0x220
      {0xa20, 0xa2f, 0x230, 16, nullptr, true},
      {0x620, 0x623, 0x220, 16, &extra, false},    // the extra range 0x620..0x623
      {0x624, 0x62f, 0x220, 16, &extra, true},
      {0x620, 0x623, 0x220, 16, nullptr, true},    // without the resource, no extras
  };
  for (const Case &c : cases) {
    ResourceTables t;
    port_table_add(t, 0x100, 0x107, -1);
    port_table_add(t, c.first, c.last, -1);
    int hit = -2;
    EXPECT_EQ(port_range_free(t, c.base, c.size, c.res, &hit), c.free)
        << std::hex << c.first << " " << c.base;
    EXPECT_EQ(hit, c.free ? -1 : 1) << std::hex << c.first << " " << c.base;
  }
}

TEST_F(AllocTest, FreeValuesAreRegisteredWithTheirExtraRanges) {
  HwdbResource p = io({0x220, 0x240});
  p.range_count = 1;
  p.ranges[0][0] = 0x400;
  p.ranges[0][1] = 2;
  HwdbResource unlisted = io({0x330}, 2, RF_NO_REGISTER);
  card("C1", {db_.device("aud", 0, {p, irq(IRQS), dma(0x0b)}), db_.device("mpu", 0, {unlisted})});
  add("C1");
  dev(0, 0).port = 0x240, dev(0, 0).irq[0] = 9, dev(0, 0).dma[0] = 3;
  dev(0, 1).port = 0x330;
  tables().ports.push_back({0x100, 0x10f, -1, {}});
  tables().port_base = 1;
  rebuild();
  EXPECT_TRUE(asked().empty());
  const std::vector<PortRange> &ports = tables().ports;
  ASSERT_EQ(ports.size(), 3u);  // the system's entry, then aud's two; mpu's range is not kept
  EXPECT_EQ(ports[1].first, 0x240);
  EXPECT_EQ(ports[1].last, 0x24f);
  EXPECT_EQ(ports[2].first, 0x640);
  EXPECT_EQ(ports[2].last, 0x641);
  EXPECT_STREQ(tables().irq[9], "aud");
  EXPECT_STREQ(tables().dma[3], "aud");
  rebuild();  // a second pass starts from the system's entries again
  EXPECT_EQ(tables().ports.size(), 3u);
}

// A fixed resource always ends with its default; the device that held the
// value is asked again, whichever of the two is checked first.
TEST_F(AllocTest, FixedResourceTakesItsDefaultAndTheHolderIsAsked) {
  struct Case {
    const char *what;
    bool port;      // port case, else the holder's second IRQ
    int held;       // the holder's value
    bool fixed_first;
  } cases[] = {
      {"equal base", true, 0x220, false}, {"equal base", true, 0x220, true},
      {"overlap", true, 0x228, false},    {"overlap", true, 0x228, true},
      {"second IRQ", false, 5, false},    {"second IRQ", false, 5, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.fixed_first ? ", fixed first" : ", fixed last"));
    db_ = Db();
    view_ = nullptr;
    reset_model();
    int holder = db_.device("holder", 0, {io({0x220, 0x228, 0x240}), irq(IRQS, 1), irq(IRQS, 2)});
    int fixed = db_.device("fixed", 0, {io({0x220}, 16, RF_FIXED, 0x220), irq(IRQS, 1, RF_FIXED, 5)});
    card("HOLD", {holder});
    card("FIX", {fixed});
    add(c.fixed_first ? "FIX" : "HOLD");
    add(c.fixed_first ? "HOLD" : "FIX");
    int h = c.fixed_first ? 1 : 0, f = 1 - h;
    dev(h, 0).port = c.port ? c.held : 0x240;
    dev(h, 0).irq[0] = 9;
    dev(h, 0).irq[1] = c.port ? 10 : c.held;
    dev(f, 0).port = 0x300;  // not allowed: the default replaces it
    pick(c.port ? 0x240 : 7);
    rebuild();
    EXPECT_EQ(dev(f, 0).port, 0x220);
    EXPECT_EQ(dev(f, 0).irq[0], 5);
    ASSERT_EQ(asked().size(), 1u);
    EXPECT_EQ(asked()[0].title, c.port ? "Select I/O port for HOLD" : "Select IRQ for HOLD");
    EXPECT_EQ(dev(h, 0).port, 0x240);
    EXPECT_EQ(dev(h, 0).irq[1], c.port ? 10 : 7);
    EXPECT_STREQ(tables().irq[5], "fixed");
    EXPECT_EQ(tables().failures, 0);
    EXPECT_TRUE(port_range_free(tables(), 0x260, 16, nullptr));
    EXPECT_FALSE(port_range_free(tables(), 0x240, 1, nullptr));
  }
}

TEST_F(AllocTest, FixedValueHeldByTheSystemIsKeptAndCounted) {
  card("FIX", {db_.device("fixed", 0, {irq(IRQS, 1, RF_FIXED, 5)})});
  add("FIX");
  model().settings.irq_exclude = 1u << 5;
  rebuild();
  EXPECT_EQ(dev(0, 0).irq[0], 5);
  EXPECT_TRUE(asked().empty());
  EXPECT_EQ(tables().failures, 1);
  EXPECT_STREQ(tables().irq[5], "Disabled");
}

TEST_F(AllocTest, LaterDeviceOfACardWinsAnIrq) {
  card("C1", {db_.device("first", 0, {irq(IRQS)}), db_.device("second", 0, {irq(IRQS)})});
  add("C1");
  dev(0, 0).irq[0] = dev(0, 1).irq[0] = 5;
  pick(7);
  rebuild();
  ASSERT_EQ(asked().size(), 1u);
  const std::vector<AskItem> &items = asked()[0].items;
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items[0].text, " 5 - second");
  EXPECT_EQ(dev(0, 1).irq[0], 5);
  EXPECT_EQ(dev(0, 0).irq[0], 7);
  EXPECT_STREQ(tables().irq[7], "first");
}

TEST_F(AllocTest, IrqHoldersOfTheLastPassDoNotSurvive) {
  card("C1", {db_.device("aud", 0, {irq(1u << 20 | 1u << 21)})});
  add("C1");
  tables().saved_irq[18] = HOLDER_PCI;
  dev(0, 0).irq[0] = 20;
  rebuild();
  EXPECT_STREQ(tables().irq[20], "aud");
  dev(0, 0).irq[0] = 21;
  rebuild();
  EXPECT_EQ(tables().irq[20], nullptr);
  EXPECT_STREQ(tables().irq[21], "aud");
  EXPECT_STREQ(tables().irq[18], HOLDER_PCI);
}

// Two devices that both insist on 0x220 take it from each other: the 21st
// take-over still happens, the 22nd gives up and disables the device asking.
TEST_F(AllocTest, TwentySecondTakeOverGivesUp) {
  for (int answers : {21, 22}) {
    SCOPED_TRACE(answers);
    reset_model();
    if (answers == 21) {
      card("A", {db_.device("x", 0, {io({0x220, 0x240})})});
      card("B", {db_.device("y", 0, {io({0x220, 0x240})})});
    }
    add("A");
    add("B");
    dev(0, 0).port = dev(1, 0).port = 0x220;
    for (int i = 0; i < answers; i++) pick(0x220);
    rebuild();
    EXPECT_EQ(asked().size(), 22u);  // the 22nd dialog is cancelled or gives up
    EXPECT_EQ(tables().takeovers, answers);
    EXPECT_EQ(dev(1, 0).port, 0x220);
    EXPECT_EQ(dev(0, 0).port, -1);
    EXPECT_EQ(dev(0, 0).enabled, answers == 21 ? 1 : 0);
    EXPECT_EQ(notices(), answers == 21 ? std::vector<std::string>{}
                                       : std::vector<std::string>{
                                             "Serious resource allocation problems. giving UP"});
    int mine = 0;
    for (const PortRange &r : tables().ports) mine += r.first == 0x220;
    EXPECT_EQ(mine, 1);
  }
}

TEST_F(AllocTest, NestingLimits) {
  card("C1", {db_.device("aud", 0, {irq(IRQS), dma(0x0b)})});
  add("C1");
  const HwdbNode &node = hw().nodes[dev(0, 0).node];
  for (int depth : {100, 101}) {
    SCOPED_TRACE(depth);
    dev(0, 0).enabled = 1;
    asked().clear();
    tables().irq_nesting = depth;
    Allocation a{model(), hw(), asker()};
    testing::internal::CaptureStderr();
    check_irq(a, 0, 0, node.resources[0]);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(asked().size(), depth == 100 ? 1u : 0u);
    EXPECT_EQ(dev(0, 0).enabled, depth == 100 ? 1 : 0);
    EXPECT_EQ(err, depth == 100 ? "" : "Internal error: Too deep recursion\n");
    EXPECT_EQ(tables().irq_nesting, depth);
  }
  for (int depth : {20, 21}) {
    SCOPED_TRACE(depth);
    dev(0, 0).enabled = 1;
    notices().clear();
    tables().dma_nesting = depth;
    tables().dma[1] = nullptr;
    Allocation a{model(), hw(), asker()};
    pick(1);
    select_dma(a, 0, 0, node.resources[1]);
    EXPECT_EQ(dev(0, 0).enabled, depth == 20 ? 1 : 0);
    EXPECT_EQ(dev(0, 0).dma[0], depth == 20 ? 1 : -1);
    EXPECT_EQ(notices(), depth == 20 ? std::vector<std::string>{}
                                     : std::vector<std::string>{"Can't find free DMA"});
    EXPECT_EQ(tables().dma_nesting, depth);
  }
}

TEST_F(AllocTest, NoCandidateCountsAFailureUnlessOptional) {
  HwdbResource empty_range = port_res(1, 8);
  empty_range.range_start = 0x300, empty_range.range_end = 0x2f0, empty_range.range_step = 0x10;
  struct Case {
    HwdbResource res;
    const char *notice;
  } cases[] = {
      {empty_range, "Error: No free I/O ports"},
      {irq(0, 1, RF_DEFAULT_FIRST, 5), "Error: No free interrupts"},  // a default line alone
      {dma(0), "Error: No free DMA channels"},
  };
  int n = 0;
  for (const Case &c : cases)
    for (bool optional : {false, true}) {
      SCOPED_TRACE(std::string(c.notice) + (optional ? " optional" : ""));
      HwdbResource r = c.res;
      if (optional) r.flags |= RF_OPTIONAL;
      std::string key = "K" + std::to_string(n++);
      card(key.c_str(), {db_.device("aud", 0, {r})});
      reset_model();
      add(key.c_str());
      dev(0, 0).port = dev(0, 0).irq[0] = dev(0, 0).dma[0] = 4;  // never allowed here
      rebuild();
      EXPECT_TRUE(asked().empty());
      EXPECT_EQ(notices(), optional ? std::vector<std::string>{}
                                    : std::vector<std::string>{c.notice});
      EXPECT_EQ(tables().failures, optional ? 0 : 1);
      int slot = *resource_slot(dev(0, 0), r);
      EXPECT_EQ(slot, optional ? -1 : 4);
      EXPECT_EQ(dev(0, 0).enabled, 1);
    }
}

std::vector<std::string> texts(const AskChoice &c) {
  std::vector<std::string> out;
  for (const AskItem &i : c.items) out.push_back(i.text);
  return out;
}
std::vector<std::string> labels(const AskChoice &c) {
  std::vector<std::string> out;
  for (const AskButton &b : c.buttons) out.push_back(b.label);
  return out;
}

TEST_F(AllocTest, DialogLinesButtonsAndPreselection) {
  int descr = db_.text("Audio part\nsecond line");
  int res_descr = db_.text("Base port of the audio part");
  HwdbResource p = io({0x220, 0x240, 0x260}, 16, RF_DEFAULT_FIRST, 0x220);
  p.descr = res_descr;
  int aud = db_.device("aud", OPT_MAY_DISABLE,
                       {p, irq(1u << 3 | 1u << 5 | 1u << 7 | 1u << 10, 1, RF_DEFAULT_FIRST, 5),
                        dma(1u << 1 | 1u << 3)});
  int fixed = db_.device("aud", 0, {io({0x220}), irq(IRQS), dma(0x0b)});
  card("C1", {aud});
  card("C2", {fixed});
  db_.node(aud).descr = descr;
  view_ = nullptr;
  add("C1");
  add("C2");
  model().settings.irq_exclude = 1u << 3;
  dev(0, 0) = {dev(0, 0).node, 1, 1, 1, 1, 0x260, {7, -1}, {3, -1}};
  tables().ports.push_back({0x240, 0x24f, fixed, {}});
  tables().irq[10] = "other";
  tables().irq[3] = HOLDER_DISABLED;
  tables().dma[3] = "other";
  Allocation a{model(), hw(), asker()};
  const HwdbNode &node = hw().nodes[aud];
  select_port(a, 0, 0, node.resources[0]);
  select_irq(a, 0, 0, node.resources[1]);
  select_dma(a, 0, 0, node.resources[2]);
  ASSERT_EQ(asked().size(), 3u);

  const AskChoice &port = asked()[0];
  EXPECT_EQ(port.title, "Select I/O port for C1");
  EXPECT_EQ(port.headers, (std::vector<std::string>{"Audio part", "Base port of the audio part"}));
  EXPECT_EQ(texts(port), (std::vector<std::string>{"(The factory default value is 220)",
                                                   "220 - May be free (not sure)", "240 - (aud)",
                                                   "260 - May be free (not sure)"}));
  EXPECT_EQ(port.current, 3);
  EXPECT_EQ(labels(port), (std::vector<std::string>{"  Ok  ", " Cancel ", "Help", "Disable device"}));

  const AskChoice &irqs = asked()[1];
  EXPECT_EQ(irqs.title, "Select IRQ for C1");
  EXPECT_EQ(texts(irqs), (std::vector<std::string>{"(The factory default value is 5)",
                                                   " 3 - Disabled", " 5 - May be free (not sure)",
                                                   " 7 - May be free (not sure)", "10 - other"}));
  EXPECT_EQ(irqs.current, 3);
  EXPECT_EQ(labels(irqs), (std::vector<std::string>{"Disable the IRQ", "  Ok  ", " Cancel ", "Help",
                                                    "Disable device"}));
  const AskChoice &dmas = asked()[2];
  EXPECT_EQ(dmas.title, "Select DMA for C1");
  EXPECT_EQ(texts(dmas), (std::vector<std::string>{"1  - free", "3 - other"}));
  EXPECT_EQ(dmas.current, 1);
  EXPECT_EQ(labels(dmas).front(), "Disable DMA");
  // Cancelled (Escape): every slot as it was.
  EXPECT_EQ(dev(0, 0).port, 0x260);
  EXPECT_EQ(dev(0, 0).irq[0], 7);

  // Without opt 0x04 no line or button disables, and the code does nothing.
  asked().clear();
  const HwdbNode &plain = hw().nodes[fixed];
  dev(1, 0).irq[0] = 9;
  asker().answers.push_back({-1, 0});
  select_irq(a, 1, 0, plain.resources[1]);
  EXPECT_EQ(labels(asked()[0]), (std::vector<std::string>{"  Ok  ", " Cancel ", "Help"}));
  EXPECT_EQ(dev(1, 0).enabled, 1);
  EXPECT_EQ(dev(1, 0).irq[0], 9);
  // With it, the device is disabled.
  asker().answers.push_back({-1, 0});
  select_irq(a, 0, 0, node.resources[1]);
  EXPECT_EQ(dev(0, 0).enabled, 0);
  EXPECT_EQ(dev(0, 0).port, -1);
}

TEST_F(AllocTest, OkTakesTheHighlightedLineAndHelpAsksAgain) {
  int card_text = db_.text("A card\nwith two lines");
  int res_text = db_.text("IRQ of the card");
  HwdbResource r = irq(IRQS);
  r.descr = res_text;
  int n = card("C1", {db_.device("aud", 0, {r})});
  db_.node(n).descr = card_text;
  view_ = nullptr;
  add("C1");
  dev(0, 0).irq[0] = 3;
  asker().answers.push_back({ASK_HELP, 2});       // Help with " 9 - ..." highlighted
  asker().answers.push_back({ASK_USE_ITEM, 0});  // the help screen's Ok
  asker().answers.push_back({ASK_USE_ITEM, 2});  // " 9 - ..."
  rebuild();
  ASSERT_EQ(asked().size(), 3u);
  EXPECT_NE(asked()[0].current, 2);
  EXPECT_EQ(asked()[2].current, 2);  // the highlight the user left, not the first one
  EXPECT_EQ(dev(0, 0).irq[0], 9);
  EXPECT_STREQ(tables().irq[9], "aud");
  const AskChoice &help = asked()[1];
  EXPECT_EQ(help.title, "Selecting an IRQ");
  EXPECT_EQ(help.headers,
            (std::vector<std::string>{
                "Soundcard or device", "===================", "", "A card", "with two lines", "",
                "Functionality", "=============", "", "*** No information available ***", "",
                "Hardware irq selection", "======================", "", "IRQ of the card",
                "(No further information on this subject).", "", "", "", ""}));
  EXPECT_EQ(labels(help), std::vector<std::string>{"  Ok  "});
  EXPECT_EQ(asked()[2].title, "Select IRQ for C1");
}

TEST_F(AllocTest, DownloadPromptAsksUntilTheFileExists) {
  int n = card("FW", {db_.device("aud", 0)});
  db_.node(n).dnld = 1;
  view_ = nullptr;
  add("FW");
  const std::string missing = dir_ + "/fw.bin", present = dir_ + "/etc/fw.bin";
  std::ofstream(present) << "x";
  std::strcpy(model().cards.cards[0].download_path, missing.c_str());
  const std::string too_long = dir_ + "/" + std::string(100, 'a');
  asker().texts = {too_long, present + "\n"};
  rebuild();
  ASSERT_EQ(asker().prompts.size(), 2u);
  EXPECT_EQ(asker().prompts[0],
            missing + ": No such file or directory\n\n"
                      "A download file is required for this device.\n"
                      "This file is usually distributed with the device.\n"
                      "Please contact your device's manufacturer in case it's missing\n"
                      "\nThe default filename (" + missing + ") was not found\n"
                      "Enter proper path to the file: ");
  EXPECT_EQ(asker().prompts[1].rfind(too_long + ": File name too long\n\n", 0), 0u);
  EXPECT_EQ(model().cards.cards[0].download_path, present);

  // An existing file is not asked for, unless forced; a hint replaces the three lines.
  asker().prompts.clear();
  rebuild();
  EXPECT_TRUE(asker().prompts.empty());
  db_.node(n).dnld_hint = db_.text("Get it from the maker");
  view_ = nullptr;
  Allocation a{model(), hw(), asker()};
  ask_download_file(a, 0, 1);
  ASSERT_EQ(asker().prompts.size(), 1u);
  EXPECT_EQ(asker().prompts[0], "Get it from the maker\n\nThe default filename (" + present +
                                    ") was not found\nEnter proper path to the file: ");
  EXPECT_EQ(model().cards.cards[0].download_path, present);  // cancelled: unchanged
}

TEST(CardListOps, RemoveAtAndPermute) {
  auto list_of = [](int n) {
    CardList l;
    for (int i = 0; i < n; i++) l.cards[l.count++].node = 100 + i;
    return l;
  };
  auto nodes = [](const CardList &l) {
    std::vector<int> v;
    for (int i = 0; i < l.count; i++) v.push_back(l.cards[i].node);
    return v;
  };
  struct Remove {
    int count, at, rc;
    std::vector<int> want;
  } removes[] = {
      {3, 0, 0, {101, 102}}, {3, 2, 0, {100, 101}}, {1, 0, 0, {}},
      {3, 3, -1, {100, 101, 102}}, {3, -1, -1, {100, 101, 102}}, {0, 0, -1, {}},
  };
  for (const Remove &r : removes) {
    CardList l = list_of(r.count);
    EXPECT_EQ(remove_card_at(l, r.at), r.rc) << r.count << " " << r.at;
    EXPECT_EQ(nodes(l), r.want) << r.count << " " << r.at;
    EXPECT_EQ(l.cards[r.count > 0 ? r.count - 1 : 0].node, r.rc == 0 || r.count == 0 ? -1 : 102);
  }
  struct Permute {
    std::vector<int> order;
    int rc;
    std::vector<int> want;
  } permutes[] = {
      {{2, 0, 1}, 0, {102, 100, 101}}, {{0, 1, 2}, 0, {100, 101, 102}},
      {{1, 1, 2}, -1, {100, 101, 102}}, {{0, 1, 3}, -1, {100, 101, 102}},
      {{0, 1}, -1, {100, 101, 102}},
  };
  for (const Permute &p : permutes) {
    CardList l = list_of(3);
    EXPECT_EQ(permute_cards(l, p.order.data(), static_cast<int>(p.order.size())), p.rc);
    EXPECT_EQ(nodes(l), p.want);
  }
}

}  // namespace
}  // namespace cardtest
