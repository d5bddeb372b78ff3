#include "cardcfg/allocate_private.h"
#include "cardcfg/model.h"
#include "cardcfg/resources.h"
#include "hwdb/hwdb.h"

namespace kvl {

void rebuild_and_check_all(ConfigModel &model, const HwdbModel &db, Asker &asker) {
  ResourceTables &t = model.resources;
  const ConfigSettings &s = model.settings;
  if (static_cast<int>(t.ports.size()) > t.port_base) t.ports.resize(t.port_base);
  t.takeovers = 0;
  t.failures = 0;
  t.irq_nesting = 0;
  t.dma_nesting = 0;
  t.asking = {};
  // Every IRQ holder comes from the system copy: a device's IRQ of the last
  // pass, 16..31 included, must not survive into this one.
  for (int i = 0; i < IRQ_LINES; i++) {
    t.irq[i] = t.saved_irq[i];
    t.irq_owner[i] = {};
    if (!t.irq[i] && (s.irq_exclude >> i & 1u)) t.irq[i] = HOLDER_DISABLED;
  }
  for (int i = 0; i < DMA_CHANNELS; i++) {
    t.dma[i] = t.saved_dma[i];
    t.dma_owner[i] = {};
    if (!t.dma[i] && (s.dma_exclude >> i & 1u)) t.dma[i] = HOLDER_DISABLED;
  }
  Allocation a{model, db, asker};
  for (int c = 0; c < model.cards.count; c++) check_card(a, c);
}

void check_card(Allocation &a, int card) {
  ConfiguredCard &cc = a.model.cards.cards[card];
  const HwdbNode *node = hwdb_node(a.db, cc.node);
  if (!node) return;
  if (node->dnld != 0) ask_download_file(a, card, 0);
  if (node->opt & OPT_NO_ALLOC) return;
  int n = cc.device_count < MAX_CARD_DEVICES ? cc.device_count : MAX_CARD_DEVICES;
  for (int d = n - 1; d >= 0; d--)
    if (cc.devices[d].enabled) check_device(a, card, d);
}

void check_device(Allocation &a, int card, int device) {
  const ConfiguredCard &cc = a.model.cards.cards[card];
  const HwdbNode *cn = hwdb_node(a.db, cc.node);
  const HwdbNode *dn = hwdb_node(a.db, cc.devices[device].node);
  if (!cn || !dn || (cn->opt & OPT_NO_ALLOC) || (dn->opt & OPT_NO_ALLOC)) return;
  int nres = dn->nres < 0 ? 0 : dn->nres > HWDB_MAX_RES ? HWDB_MAX_RES : dn->nres;
  for (int r = 0; r < nres; r++) {
    const HwdbResource &res = dn->resources[r];
    if (res.restype == RES_IO) check_port(a, card, device, res);
    else if (res.restype == RES_IRQ) check_irq(a, card, device, res);
    else if (res.restype == RES_DMA) check_dma(a, card, device, res);
  }
}

}  // namespace kvl
