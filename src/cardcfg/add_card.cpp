#include "cardcfg/cardlist.h"

#include "common/asker.h"
#include "cardcfg/model.h"
#include "common/common.h"
#include "common/text.h"
#include "hwdb/hwdb.h"

#include <cstdio>
#include <string>

namespace kvl {

namespace {

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// The node's default firmware file; a leading "~" stands for the
// installation directory.
void set_default_download(const std::string &dir, ConfiguredCard &card, const HwdbNode &node) {
  std::string_view file = field_text(node.dnld_file);
  if (!file.empty() && file[0] == '~') {
    std::string path = dir;
    path += file.substr(1);
    copy_field(card.download_path, path);
  } else {
    copy_field(card.download_path, file);
  }
}

// Devices of a card whose resources are allocated here: every resource of
// the device node opens its slot, unassigned.
void fill_devices(const HwdbModel &db, ConfiguredCard &card, const HwdbNode &node, int port) {
  for (int d = 0; d < card.device_count; d++) {
    CardDevice &dev = card.devices[d];
    dev.node = node.children[d];
    dev.enabled = 1;
    const HwdbNode *dnp = hwdb_node(db, dev.node);
    if (!dnp) continue;
    const HwdbNode &dn = *dnp;
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

}  // namespace

int add_card(ConfigModel &model, const HwdbModel &db, Asker &asker, const char *name, int port) {
  int row = hwdb_find_card(db, name);
  if (row < 0) {
    std::fprintf(stderr, "Error: Card '%s' not found in database\n", name);
    return -1;
  }
  CardList &cards = model.cards;
  if (cards.count >= MAX_CARDS) {
    asker.notice("Too many devices", true);
    return -1;
  }
  const HwdbMenu &menu = db.menus[row];
  const HwdbNode *node = hwdb_node(db, menu.node);
  if (!node) {
    std::fprintf(stderr, "Error: Card '%s' not found in database\n", name);
    return -1;
  }
  ConfiguredCard card;
  card.node = menu.node;
  card.name_index = row;
  copy_field(card.name, field_text(menu.name));
  card.device_count = clamp(node->child_count, 0, MAX_CARD_DEVICES);
  set_default_download(model.install_dir, card, *node);
  if (node->opt & OPT_NO_ALLOC) {
    // Resources of these cards come from plug-and-play: each device is its
    // child node, enabled, without resources.
    for (int d = 0; d < card.device_count; d++) {
      card.devices[d].node = node->children[d];
      card.devices[d].enabled = 1;
    }
  } else {
    fill_devices(db, card, *node, port);
  }
  cards.cards[cards.count++] = card;
  return cards.count;
}

void forget_routing(const std::string &dir) { std::remove(kvl_path(dir, "etc/dspdevs.map").c_str()); }

std::string card_title(const HwdbModel &db, const ConfiguredCard &card) {
  if (card.name_index < 0 || card.name_index >= db.menu_count) return "";
  return std::string(field_text(db.menus[card.name_index].title));
}

}  // namespace kvl
