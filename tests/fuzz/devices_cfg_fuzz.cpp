// Feeds arbitrary bytes to the devices.cfg reader over a small card database,
// then writes the model back out as devices.cfg and modules.cfg text and
// checks that the written text reads back to itself.
#include "cardcfg/cardlist.h"
#include "cardcfg/devices_cfg.h"
#include "cardcfg/modules.h"
#include "common/asker.h"
#include "cardcfg/model.h"
#include "cardcfg/resources.h"
#include "common/common.h"
#include "hwdb/hwdb.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using namespace kvl;

std::vector<HwdbNode> g_nodes;
std::vector<HwdbMenu> g_menus;
HwdbModel g_db;
ConfigModel *g_model = nullptr;

HwdbResource res(int type, int num) {
  HwdbResource r{};
  r.restype = type;
  r.num = num;
  r.descr = -1;
  r.size = 8;
  return r;
}

int device(const char *name, int opt, std::initializer_list<HwdbResource> list) {
  HwdbNode n{};
  std::strncpy(n.name, name, sizeof n.name - 1);
  n.descr = n.dnld_hint = n.control = -1;
  n.opt = opt;
  for (const HwdbResource &r : list) n.resources[n.nres++] = r;
  g_nodes.push_back(n);
  return static_cast<int>(g_nodes.size()) - 1;
}

int card(const char *key, int opt, std::initializer_list<int> children) {
  int index = device(key, opt, {});
  HwdbNode &n = g_nodes[index];
  for (int c : children) n.children[n.child_count++] = c;
  HwdbMenu m{};
  m.node = index;
  std::strncpy(m.name, key, sizeof m.name - 1);
  std::snprintf(m.title, sizeof m.title, "%s test card", key);
  g_menus.push_back(m);
  return index;
}

// ISA cards with every kind of resource and firmware, plug-and-play cards of
// layout rows (including one of four devices), cards without allocation.
void install_db() {
  const HwdbResource io = res(RES_IO, 1), irq1 = res(RES_IRQ, 1), irq2 = res(RES_IRQ, 2),
                     dma1 = res(RES_DMA, 1), dma2 = res(RES_DMA, 2);
  int isa = card("KVLISA1", OPT_NEEDS_ISA,
                 {device("isaaud", OPT_MAY_DISABLE, {io, irq1, irq2, dma1, dma2}),
                  device("isamidi", OPT_MAY_DISABLE, {io, irq1}), device("isasynth", 0, {io})});
  g_nodes[isa].dnld = 1;
  std::strcpy(g_nodes[isa].dnld_name, "isafw");
  std::strcpy(g_nodes[isa].dnld_file, "~/etc/isa1.bin");
  g_nodes[isa].control = 0;
  int hex = card("KVLISA2", OPT_NEEDS_ISA, {device("fwaud", 0, {io, irq1, dma1})});
  g_nodes[hex].dnld = 2;
  std::strcpy(g_nodes[hex].dnld_name, "hexfw");
  std::strcpy(g_nodes[hex].dnld_file, "/lib/fw/kvl2.hex");
  card("ESS0968", OPT_PNP,
       {device("essfm", 0, {io}), device("essmpu", 0, {io}),
        device("essaud", 0, {io, irq1, dma1}), device("essjoy", OPT_NO_ALLOC, {})});
  card("CSCA836", OPT_PNP,
       {device("csaud", 0, {io, irq1, dma1, dma2}), device("csctl", 0, {io}),
        device("csmpu", 0, {io, irq1})});
  card("YMH0020", OPT_PNP,
       {device("pd1", 0, {io, irq1, dma1, dma2}), device("pd2", 0, {io, irq1, dma1, dma2}),
        device("pd3", 0, {io, irq1, dma1, dma2}), device("pd4", 0, {io, irq1, dma1, dma2})});
  card("CTL00A5", OPT_NO_ALLOC | OPT_PNP, {device("ctlwave", 0, {})});
  card("KVLPCI1", OPT_NO_ALLOC | OPT_NEEDS_MMPCI, {device("pciaud", 0, {})});
  card("KVLUSB1", OPT_NEEDS_USB, {device("usbaud", 0, {})});

  g_db.nodes = g_nodes.data();
  g_db.node_count = static_cast<int>(g_nodes.size());
  g_db.menus = g_menus.data();
  g_db.menu_count = static_cast<int>(g_menus.size());
  g_db.descr[0] = "isaaud mixmap=line,cd";
  g_db.descr_count = 1;

  g_model = new ConfigModel;
  if (load_modules_lis(g_model->drivers,
                       "isaaud kvlisa\nessaud kvless\ncsaud kvlcs\npd1 kvlpd\npciaud kvlpci\n") < 0 ||
      load_modules_dep(g_model->module_deps, "kvlsb [kvlisa kvless]\nkvlmpu [kvless kvlcs]\n", 0) < 0)
    std::abort();
}

// Notices are not part of what is tested here.
class QuietAsker final : public Asker {
 public:
  void notice(const std::string &, bool) override {}
  AskAnswer choose(const AskChoice &c) override { return {ASK_ESCAPE, c.current}; }
  int enter_text(const std::string &, std::string &, size_t) override { return 0; }
};

void reset_model() {
  g_model->cards = CardList{};
  g_model->settings = ConfigSettings{};
  g_model->resources = ResourceTables{};
}

// Reads text into a fresh model and formats it; false when the writer refused.
bool read_and_format(const std::string &text, std::string &devices, std::string &modules) {
  static QuietAsker asker;
  reset_model();
  parse_devices_cfg(*g_model, g_db, asker, text);
  rebuild_and_check_all(*g_model, g_db, asker);
  DeviceConfigText out;
  std::string why;
  if (format_device_config(*g_model, g_db, &out, &why) != 0) return false;
  devices = out.devices;
  modules = out.modules;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = (install_db(), true);
  (void)ready;
  g_model->install_dir = "/opt/kvl";

  // The first text written may still drop what the writer does not save (an
  // IRQ 0, a read-data port outside 0x203..0x3fe on "/PNPPORT", an empty
  // firmware word); from then on every text must read back to itself.
  std::string devices, modules;
  if (!read_and_format(std::string(reinterpret_cast<const char *>(data), size), devices, modules))
    return 0;
  std::string devices2, modules2, devices3, modules3;
  if (!read_and_format(devices, devices2, modules2)) std::abort();
  if (!read_and_format(devices2, devices3, modules3) || devices3 != devices2 ||
      modules3 != modules2) {
    std::fprintf(stderr, "devices.cfg did not read back:\n%s---\n%s", devices2.c_str(),
                 devices3.c_str());
    std::abort();
  }
  return 0;
}
