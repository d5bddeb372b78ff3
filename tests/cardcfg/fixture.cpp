#include "fixture.h"

#include "cardcfg/cardlist.h"
#include "cardcfg/devices_cfg.h"
#include "cardcfg/modules.h"
#include "cardcfg/resources.h"
#include "common/common.h"
#include "support.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

namespace cardtest {

using namespace kvl;

namespace {

HwdbResource resource(int type, int num) {
  HwdbResource r{};
  r.restype = type;
  r.num = num;
  r.descr = -1;
  return r;
}

void set_name(char *field, size_t size, const char *text) {
  std::strncpy(field, text, size - 1);
  field[size - 1] = '\0';
}

struct TestState {
  ConfigModel model;
  kvltest::ScriptAsker asker;
  const HwdbModel *db = nullptr;
};

TestState &state() {
  static TestState *s = new TestState;
  return *s;
}

}  // namespace

HwdbResource port_res(int num, int size) {
  HwdbResource r = resource(RES_IO, num);
  r.size = size;
  return r;
}
HwdbResource irq_res(int num) { return resource(RES_IRQ, num); }
HwdbResource dma_res(int num) { return resource(RES_DMA, num); }

int Db::text(const std::string &s) {
  texts_.push_back(s);
  return static_cast<int>(texts_.size()) - 1;
}

int Db::device(const char *name, int opt, std::initializer_list<HwdbResource> res) {
  HwdbNode n{};
  set_name(n.name, sizeof n.name, name);
  n.descr = -1;
  n.dnld_hint = -1;
  n.control = -1;
  n.opt = opt;
  for (const HwdbResource &r : res) n.resources[n.nres++] = r;
  nodes_.push_back(n);
  return static_cast<int>(nodes_.size()) - 1;
}

int Db::card(const char *key, const char *title, int opt, std::initializer_list<int> children) {
  int index = device(key, opt);
  HwdbNode &n = nodes_[index];
  for (int c : children) n.children[n.child_count++] = c;
  HwdbMenu m{};
  m.node = index;
  set_name(m.name, sizeof m.name, key);
  set_name(m.title, sizeof m.title, title);
  menus_.push_back(m);
  return index;
}

const HwdbModel &Db::model() {
  view_ = HwdbModel{};
  view_.menus = menus_.data();
  view_.menu_count = static_cast<int>(menus_.size());
  view_.nodes = nodes_.data();
  view_.node_count = static_cast<int>(nodes_.size());
  view_.descr_count = static_cast<int>(texts_.size());
  for (size_t i = 0; i < texts_.size() && i < HWDB_MAX_DESCR; i++) view_.descr[i] = texts_[i].c_str();
  return view_;
}

ConfigModel &model() { return state().model; }
const HwdbModel &db() { return *state().db; }
kvltest::ScriptAsker &asker() { return state().asker; }
std::vector<std::string> &notices() { return state().asker.notices; }

void reset_model() {
  std::string dir = state().model.install_dir;
  state().model = ConfigModel{};
  state().model.install_dir = dir;
  state().asker = kvltest::ScriptAsker{};
}

int add_card(const char *name, int port) { return kvl::add_card(model(), db(), asker(), name, port); }
std::string card_title(const ConfiguredCard &card) { return kvl::card_title(db(), card); }
int parse_devices_cfg(const std::string &text) {
  return kvl::parse_devices_cfg(model(), db(), asker(), text);
}

void load_lists(const std::string &lis, const std::string &dep) {
  ASSERT_EQ(load_modules_lis(model().drivers, lis), 0);
  ASSERT_EQ(load_modules_dep(model().module_deps, dep, model().verbosity), 0);
}

Db &standard_db() {
  static Db *db = [] {
    Db *d = new Db;
    const int pd[4] = {
        d->device("pd1", 0, {port_res(), irq_res(), dma_res(1), dma_res(2)}),
        d->device("pd2", 0, {port_res(), irq_res(), dma_res(1), dma_res(2)}),
        d->device("pd3", 0, {port_res(), irq_res(), dma_res(1), dma_res(2)}),
        d->device("pd4", 0, {port_res(), irq_res(), dma_res(1), dma_res(2)})};

    int isa1 = d->card("KVLISA1", "Kelvane ISA test card", OPT_NEEDS_ISA,
                       {d->device("isaaud", OPT_MAY_DISABLE,
                                  {port_res(), irq_res(1), irq_res(2), dma_res(1), dma_res(2)}),
                        d->device("isamidi", OPT_MAY_DISABLE, {port_res(1, 2), irq_res()}),
                        d->device("isasynth", 0, {port_res(1, 4)})});
    d->node(isa1).dnld = 1;
    std::strcpy(d->node(isa1).dnld_name, "isafw");
    std::strcpy(d->node(isa1).dnld_file, "~/etc/isa1.bin");
    d->node(isa1).control = d->text("isaaud mixmap=line,cd");

    int isa2 = d->card("KVLISA2", "Kelvane hex firmware test card", OPT_NEEDS_ISA,
                       {d->device("fwaud", 0, {port_res(), irq_res(), dma_res()})});
    d->node(isa2).dnld = 2;
    std::strcpy(d->node(isa2).dnld_name, "hexfw");
    std::strcpy(d->node(isa2).dnld_file, "/lib/fw/kvl2.hex");

    d->card("ESS0968", "ESS test card", OPT_PNP,
            {d->device("essfm", 0, {port_res()}), d->device("essmpu", 0, {port_res()}),
             d->device("essaud", 0, {port_res(), irq_res(), dma_res()}),
             d->device("essjoy", OPT_NO_ALLOC)});
    d->card("CSCA836", "Crystal test card", OPT_PNP,
            {d->device("csaud", 0, {port_res(), irq_res(), dma_res(1), dma_res(2)}),
             d->device("csctl", 0, {port_res()}), d->device("csmpu", 0, {port_res(), irq_res()})});
    d->card("CTL00A5", "Wave test card", OPT_NO_ALLOC | OPT_PNP, {d->device("ctlwave", 0)});
    d->card("KVLP001", "Plug-and-play card without layout", OPT_PNP,
            {d->device("pnpaud", 0, {port_res(), irq_res()})});
    d->card("KVLPCI1", "PCI test card", OPT_NO_ALLOC | OPT_NEEDS_MMPCI, {d->device("pciaud", 0)});
    d->card("KVLUSB1", "USB test card", OPT_NEEDS_USB, {d->device("usbaud", 0)});

    // Cards of further layout rows, each with four generic devices.
    for (const char *key : {"CMI0001", "CTL0044", "CTL0080", "CTL00F0", "YMH0020"})
      d->card(key, "Layout test card", OPT_PNP, {pd[0], pd[1], pd[2], pd[3]});
    // The first of two rows with the same key wins.
    d->card("KVLISA1", "Second row of the same key", 0, {pd[0]});
    return d;
  }();
  return *db;
}

void build_standard_config() {
  ConfigSettings &s = model().settings;
  s.dspx = 1;
  s.secure_audio = 1;
  s.pci_irq_mask = 1u << 5 | 1u << 9 | 1u << 31;
  s.irq_exclude = 1u << 3 | 1u << 4;
  s.dma_exclude = 1u << 0 | 1u << 2 | 1u << 7;
  s.pnp_port = 0x20b;
  s.pnp_preserve = 1;
  for (const char *key : {"KVLISA1", "KVLISA2", "ESS0968", "CSCA836", "CTL00A5", "KVLP001",
                          "KVLPCI1", "KVLUSB1"})
    ASSERT_GT(add_card(key, 0), 0) << key;
  ConfiguredCard *c = model().cards.cards;
  std::strcpy(c[0].download_path, "/lib/kvl/isa1.bin");
  CardDevice *isa = c[0].devices;
  isa[0].port = 0x220, isa[0].irq[0] = 5, isa[0].irq[1] = 7, isa[0].dma[0] = 1, isa[0].dma[1] = 5;
  isa[1].enabled = 0;
  isa[2].port = 0x388;
  CardDevice *fw = c[1].devices;
  fw[0].port = 0x300, fw[0].irq[0] = 10, fw[0].dma[0] = 0;
  CardDevice *ess = c[2].devices;
  ess[0].port = 0x388;
  ess[1].port = 0x330;
  ess[2].port = 0x220, ess[2].irq[0] = 5, ess[2].dma[0] = 1;
  CardDevice *cs = c[3].devices;
  cs[0].port = 0x534, cs[0].irq[0] = 9, cs[0].dma[0] = 0, cs[0].dma[1] = 3;
  cs[1].port = 0x120;
  cs[2].port = 0x330, cs[2].irq[0] = 11;
  CardDevice *pnp = c[5].devices;
  pnp[0].port = 0x240, pnp[0].irq[0] = 7;
}

void CardcfgTest::SetUp() {
  install_dir_ = std::make_unique<kvltest::TempDir>();
  dir_ = install_dir_->path();
  std::filesystem::create_directories(dir_ + "/etc");
  state().db = &standard_db().model();
  state().model.install_dir = dir_;
  reset_model();
}

void CardcfgTest::TearDown() { install_dir_.reset(); }

}  // namespace cardtest
