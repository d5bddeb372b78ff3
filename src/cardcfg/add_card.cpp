#include "cardcfg/cardlist.h"

#include "common/text.h"
#include "cardcfg/notice.h"
#include "common/common.h"
#include "hwdb/hwdb.h"

#include <cstdio>
#include <string>

namespace kvl {

CardList g_cards;
ConfigSettings g_settings;

namespace {

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// The node's default firmware file; a leading "~" stands for the
// installation directory.
void set_default_download(ConfiguredCard &card, const HwdbNode &node) {
  std::string_view file = field_text(node.dnld_file);
  if (!file.empty() && file[0] == '~') {
    std::string path = g_core.install_dir;
    path += file.substr(1);
    copy_field(card.download_path, path);
  } else {
    copy_field(card.download_path, file);
  }
}

// Devices of a card whose resources are allocated here: every resource of
// the device node opens its slot, unassigned.
void fill_devices(ConfiguredCard &card, const HwdbNode &node, int port) {
  for (int d = 0; d < card.device_count; d++) {
    CardDevice &dev = card.devices[d];
    dev.node = node.children[d];
    dev.enabled = 1;
    if (dev.node < 0 || dev.node >= hwdb_node_count) continue;
    const HwdbNode &dn = hwdb_nodes[dev.node];
    for (int r = 0; r < clamp(dn.nres, 0, HWDB_MAX_RES); r++) {
      const HwdbResource &res = dn.resources[r];
      if (res.num < 1 || res.num > 2) continue;
      int slot = res.num - 1;
      if (res.restype == RES_IO) {
        dev.port_count = 1;  // one port slot; a second port resource has none
        if (slot == 0) dev.port = (d == 0 && port != 0) ? port : -1;
      } else if (res.restype == RES_IRQ) {
        if (dev.irq_count < res.num) dev.irq_count = res.num;
        dev.irq[slot] = -1;
      } else if (res.restype == RES_DMA) {
        if (dev.dma_count < res.num) dev.dma_count = res.num;
        dev.dma[slot] = -1;
      }
    }
  }
}

int append_card(const char *name, int port, bool forget_routing) {
  int row = hwdb_find_card(name);
  if (row < 0) {
    std::fprintf(stderr, "Error: Card '%s' not found in database\n", name);
    return -1;
  }
  if (g_cards.count >= MAX_CARDS) {
    user_notice("Too many devices");
    return -1;
  }
  const HwdbMenu &menu = hwdb_menus[row];
  if (menu.node < 0 || menu.node >= hwdb_node_count) {
    std::fprintf(stderr, "Error: Card '%s' not found in database\n", name);
    return -1;
  }
  const HwdbNode &node = hwdb_nodes[menu.node];
  ConfiguredCard card;
  card.node = menu.node;
  card.name_index = row;
  copy_field(card.name, field_text(menu.name));
  if (forget_routing) std::remove(kvl_path(g_core.install_dir, "etc/dspdevs.map").c_str());
  card.device_count = clamp(node.child_count, 0, MAX_CARD_DEVICES);
  set_default_download(card, node);
  if (node.opt & OPT_NO_ALLOC) {
    // Resources of these cards come from plug-and-play: each device is its
    // child node, enabled, without resources.
    for (int d = 0; d < card.device_count; d++) {
      card.devices[d].node = node.children[d];
      card.devices[d].enabled = 1;
    }
  } else {
    fill_devices(card, node, port);
  }
  g_cards.cards[g_cards.count++] = card;
  return g_cards.count;
}

}  // namespace

int add_card(const char *name, int port) { return append_card(name, port, true); }

int add_saved_card(const char *name) { return append_card(name, 0, false); }

std::string card_title(const ConfiguredCard &card) {
  if (card.name_index < 0 || card.name_index >= hwdb_menu_count) return "";
  return std::string(field_text(hwdb_menus[card.name_index].title));
}

}  // namespace kvl
