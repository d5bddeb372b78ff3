// What the driver holds against the configuration: the cards it reports,
// matched to the cards that the configuration makes start-up add.
//
// Start-up adds one card per device line written ON (its driver, its port);
// a PCI card comes up from its card header under its device's driver; every
// ISA plug-and-play card rides on the plug-and-play bus card ("PNP").
#include <memory>
#include <string>

#include "common/common.h"
#include "common/text.h"
#include "driver/driver.h"
#include "kvlcfg/kvlcfg.h"
#include "entry/handshake.h"

namespace kvl {

namespace {

constexpr const char *PNP_BUS_DRIVER = "PNP";

std::string node_name(const Session &s, int node) {
  const HwdbNode *n = hwdb_node(s.db, node);
  return n ? std::string(field_text(n->name)) : "";
}

void expect_cards(const Session &s, DriverView *v) {
  const CardList &cards = s.model->cards;
  for (int c = 0; c < cards.count; c++) {
    const ConfiguredCard &card = cards.cards[c];
    const HwdbNode *node = hwdb_node(s.db, card.node);
    if (!node) continue;
    if (node->opt & OPT_PNP) {
      v->expected.push_back({c, -1, PNP_BUS_DRIVER, -1, true, -1});
      continue;
    }
    if (node->opt & OPT_NO_ALLOC) {
      if (card.device_count > 0)
        v->expected.push_back({c, -1, node_name(s, card.devices[0].node), -1, false, -1});
      continue;
    }
    for (int d = 0; d < card.device_count && d < MAX_CARD_DEVICES; d++) {
      const CardDevice &dev = card.devices[d];
      const HwdbNode *dn = hwdb_node(s.db, dev.node);
      if (!dn || (dn->opt & (OPT_NO_ALLOC | OPT_PNP)) || !dev.enabled) continue;
      int port = dev.port_count > 0 && dev.port > 0 ? dev.port : 0;
      v->expected.push_back({c, d, std::string(field_text(dn->name)), port, false, -1});
    }
  }
}

// Each expectation takes the first driver card of its driver not taken yet:
// those with a port first (the port must match), then the rest; the bus
// card is shared by every plug-and-play card.
void match(DriverView *v) {
  for (int pass = 0; pass < 2; pass++)
    for (size_t e = 0; e < v->expected.size(); e++) {
      ExpectedCard &x = v->expected[e];
      if (x.pnp_bus || (pass == 0) != (x.port >= 0)) continue;
      for (size_t i = 0; i < v->cards.size() && x.found < 0; i++) {
        DriverCard &d = v->cards[i];
        if (d.claimed >= 0 || d.driver != x.driver || (x.port >= 0 && d.port != x.port)) continue;
        d.claimed = static_cast<int>(e);
        x.found = static_cast<int>(i);
      }
    }
  for (size_t e = 0; e < v->expected.size(); e++) {
    ExpectedCard &x = v->expected[e];
    if (!x.pnp_bus) continue;
    for (size_t i = 0; i < v->cards.size() && x.found < 0; i++) {
      DriverCard &d = v->cards[i];
      if (d.driver != x.driver || (d.claimed >= 0 && !v->expected[d.claimed].pnp_bus)) continue;
      if (d.claimed < 0) d.claimed = static_cast<int>(e);
      x.found = static_cast<int>(i);
    }
  }
}

}  // namespace

int read_driver_view(Session &s, DriverView *v) {
  expect_cards(s, v);
  if (s.control.no_driver) return 0;
  v->open = true;
  int32_t status = 0;
  if (control_request(s.control, CTL_GET_STATUS, &status) < 0) return -1;
  v->status = status;
  auto drivers = std::make_unique<DriverTable>();
  if (load_driver_table(s.control, *drivers) < 0) return -1;
  SysInfo info = {};
  if (control_request(s.control, KVL_SYSINFO, &info) < 0) return -1;
  v->audio_count = info.numaudios;
  v->mixer_count = info.nummixers;
  int32_t ncards = 0;
  if (control_request(s.control, CTL_GET_NCARDS, &ncards) < 0) return -1;
  for (int i = 0; i < ncards; i++) {
    CardInfo ci = {};
    ci.key = i;  // the index goes in where the type key comes back
    if (control_request(s.control, CTL_GET_CARD_INFO, &ci) < 0) return -1;
    if (ci.key == 0) break;
    v->cards.push_back({ci.key, driver_name_by_key(*drivers, ci.key), ci.port, ci.irq, ci.dma1,
                        ci.dma2, ci.initialized != 0, -1});
  }
  match(v);
  return 0;
}

std::string card_state(const DriverView &view, int card) {
  bool any = false, failed = false, missing = false;
  for (const ExpectedCard &e : view.expected) {
    if (e.card != card) continue;
    any = true;
    if (e.found < 0) missing = true;
    else if (!view.cards[e.found].initialized) failed = true;
  }
  if (!any) return "off";
  if (failed) return "failed";
  return missing ? "not started" : "up";
}

}  // namespace kvl
