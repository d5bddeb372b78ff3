// Manual configuration and the security setup.
#include <algorithm>
#include <string>

#include "cardcfg/allocate.h"
#include "cardcfg/card_lines.h"
#include "cardcfg/cardlist.h"
#include "cardcfg/model.h"
#include "cardcfg/resources.h"
#include "common/text.h"
#include "configurator/configurator.h"
#include "configurator/screens.h"
#include "hwdb/hwdb.h"
#include "entry/entry.h"

namespace kvl {

namespace {

constexpr int CODE_OK = -1;

void add_line(ManualList &l, std::string text) { l.lines.push_back({std::move(text), ASK_ESCAPE}); }

void add_action(ManualList &l, std::string text, ManualAction action) {
  l.lines.push_back({std::move(text), static_cast<int>(l.actions.size())});
  l.actions.push_back(action);
}

void add_resource_lines(ManualList &l, const HwdbModel &db, const ConfiguredCard &card, int c,
                        int d) {
  const CardDevice &dev = card.devices[d];
  const HwdbNode *node = hwdb_node(db, dev.node);
  int nres = std::clamp(node->nres, 0, HWDB_MAX_RES);
  for (int r = 0; r < nres; r++) {
    const HwdbResource &res = node->resources[r];
    CardDevice copy = dev;  // resource_slot hands out a writable slot
    const int *slot = resource_slot(copy, res);
    int type;
    if (res.restype == RES_IO) type = MANUAL_PORT;
    else if (res.restype == RES_IRQ) type = MANUAL_IRQ;
    else if (res.restype == RES_DMA) type = MANUAL_DMA;
    else continue;
    std::string text = "         " + resource_value_line(res, slot);
    if ((res.flags & RF_FIXED) || !slot) add_line(l, text);
    else add_action(l, text, {type, dev.node, c, d, &res});
  }
}

}  // namespace

ManualList build_manual_list(const ConfigModel &model, const HwdbModel &db) {
  ManualList l;
  for (int c = 0; c < model.cards.count; c++) {
    const ConfiguredCard &card = model.cards.cards[c];
    const HwdbNode *node = hwdb_node(db, card.node);
    add_line(l, "Card: " + card_title(db, card));
    if (node && node->dnld != 0) {
      add_action(l, "      Download file: " + std::string(field_text(card.download_path)),
                 {MANUAL_DOWNLOAD, card.node, c, -1, nullptr});
      add_line(l, "");
    }
    if (node && (node->opt & OPT_NO_ALLOC)) {
      add_line(l, "      PnP device - No manually configurable resources");
    } else {
      int n = std::clamp(card.device_count, 0, MAX_CARD_DEVICES);
      for (int d = 0; d < n; d++) {
        const CardDevice &dev = card.devices[d];
        const HwdbNode *dn = hwdb_node(db, dev.node);
        if (!dn || (dn->opt & OPT_NO_ALLOC)) continue;
        std::string label = "      Device: " + device_label(db, *dn);
        if (dev.enabled) {
          add_action(l, label + " (enabled)", {MANUAL_DISABLE, dev.node, c, d, nullptr});
          add_resource_lines(l, db, card, c, d);
        } else {
          add_action(l, label + " (DISABLED)", {MANUAL_ENABLE, dev.node, c, d, nullptr});
        }
      }
    }
    add_line(l, "");
  }
  return l;
}

void manual_configuration(Configurator &cfg) {
  ConfigModel &m = cfg.run.model;
  Allocation a{m, cfg.db, cfg.asker};
  int current = 0;
  for (;;) {
    ManualList l = build_manual_list(m, cfg.db);
    AskChoice c;
    c.title = "Kelvane - Manual configuration";
    c.items = l.lines;
    c.buttons = {{"  Ok  ", CODE_OK}};
    c.current = std::clamp(current, 0, std::max(static_cast<int>(c.items.size()) - 1, 0));
    AskAnswer ans = cfg.asker.choose(c);
    current = ans.current;
    if (ans.code < 0 || ans.code >= static_cast<int>(l.actions.size())) return;  // Ok, Escape
    const ManualAction &act = l.actions[ans.code];
    CardDevice *dev = act.device >= 0 ? &m.cards.cards[act.card].devices[act.device] : nullptr;
    switch (act.type) {
      case MANUAL_DOWNLOAD:
        ask_download_file(a, act.card, 1);
        break;
      case MANUAL_ENABLE:
        dev->enabled = 1;
        rebuild_and_check_all(m, cfg.db, cfg.asker);
        break;
      case MANUAL_DISABLE: {
        const HwdbNode *node = hwdb_node(cfg.db, act.node);
        if (node && (node->opt & OPT_MAY_DISABLE)) dev->enabled = 0;
        else cfg.asker.notice("Can't disable this device", true);
        break;
      }
      case MANUAL_PORT:
        select_port(a, act.card, act.device, *act.resource);
        rebuild_and_check_all(m, cfg.db, cfg.asker);
        break;
      case MANUAL_IRQ:
        select_irq(a, act.card, act.device, *act.resource);
        rebuild_and_check_all(m, cfg.db, cfg.asker);
        break;
      case MANUAL_DMA:
        select_dma(a, act.card, act.device, *act.resource);
        rebuild_and_check_all(m, cfg.db, cfg.asker);
        break;
    }
  }
}

void security_setup(Configurator &cfg) {
  int &secure = cfg.run.model.settings.secure_audio;
  AskChoice c;
  c.title = "Security Setup";
  c.headers = {"Allowing read access to audio devices makes it possible",
               "to any user to spy what is being talked on near the",
               "microphone. It's advisable to disable recording by",
               "other users than root if other users have access to",
               "to this machine (it's connected to a network)."};
  if (secure) {
    c.items = {{"Disable read access to audio devices (currently selected)", 1},
               {"Enable read access to audio devices", 0}};
  } else {
    c.items = {{"Enable read access to audio devices (currently selected)", 0},
               {"Disable read access to audio devices", 1}};
  }
  c.buttons = {{"  Ok  ", ASK_USE_ITEM}, {" Cancel ", -1}};
  AskAnswer ans = cfg.asker.choose(c);
  int code = ans.code;
  if (code == ASK_USE_ITEM)
    code = ans.current >= 0 && ans.current < 2 ? c.items[ans.current].code : -1;
  if (code == 0 || code == 1) secure = code;
}

}  // namespace kvl
