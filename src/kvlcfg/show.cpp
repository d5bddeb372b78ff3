// list and dump: the configuration as read, and as a save would write it.
#include <algorithm>
#include <cstdio>
#include <string>

#include "cardcfg/card_lines.h"
#include "common/text.h"
#include "kvlcfg/kvlcfg.h"

namespace kvl {

namespace {

const char *resource_word(int restype) {
  return restype == RES_IO ? "port" : restype == RES_IRQ ? "irq" : "dma";
}

// One device: its line as the manual configuration shows it (with the
// device's name), its value lines when it is on, and its record.
nlohmann::json device_record(const Session &s, const CardDevice &dev, const HwdbNode &node,
                             std::string *text) {
  std::string label = device_label(s.db, node);
  appendf(*text, "      Device %s: %s (%s)\n", std::string(field_text(node.name)).c_str(),
          label.c_str(), dev.enabled ? "enabled" : "DISABLED");
  nlohmann::json values = nlohmann::json::array();
  int nres = std::clamp(node.nres, 0, HWDB_MAX_RES);
  for (int r = 0; r < nres; r++) {
    const HwdbResource &res = node.resources[r];
    CardDevice copy = dev;  // resource_slot hands out a writable slot
    const int *slot = resource_slot(copy, res);
    std::string line = resource_value_line(res, slot);
    if (line.empty()) continue;
    if (dev.enabled) *text += "         " + line + "\n";
    nlohmann::json v = {{"resource", resource_word(res.restype)},
                        {"num", res.num},
                        {"fixed", (res.flags & RF_FIXED) != 0},
                        {"text", line}};
    v["value"] = slot && *slot >= 0 ? nlohmann::json(*slot) : nlohmann::json();
    values.push_back(v);
  }
  return {{"name", std::string(field_text(node.name))},
          {"label", label},
          {"enabled", dev.enabled != 0},
          {"values", values}};
}

nlohmann::json card_record(const Session &s, int c, std::string *text) {
  const ConfiguredCard &card = s.model->cards.cards[c];
  const HwdbNode *node = hwdb_node(s.db, card.node);
  std::string key(field_text(card.name));
  std::string title = card_title(s.db, card);
  appendf(*text, "Card %d %s: %s\n", c + 1, key.c_str(), title.c_str());
  nlohmann::json j = {{"position", c + 1}, {"key", key}, {"title", title}};
  j["download"] = nlohmann::json();
  if (node && node->dnld != 0) {
    std::string path(field_text(card.download_path));
    appendf(*text, "      Download file: %s\n", path.c_str());
    j["download"] = path;
  }
  bool by_pnp = node && (node->opt & OPT_NO_ALLOC);
  j["pnp_resources"] = by_pnp;
  nlohmann::json devices = nlohmann::json::array();
  if (by_pnp) {
    *text += "      PnP device - No manually configurable resources\n";
  } else {
    for (int d = 0; d < card.device_count && d < MAX_CARD_DEVICES; d++) {
      const HwdbNode *dn = hwdb_node(s.db, card.devices[d].node);
      if (dn && !(dn->opt & OPT_NO_ALLOC)) devices.push_back(device_record(s, card.devices[d], *dn, text));
    }
  }
  j["devices"] = devices;
  return j;
}

}  // namespace

int cmd_list(Session &s) {
  int rc = open_installation(s);
  if (rc == 0) rc = read_configuration(s);
  if (rc) return rc;
  std::string text;
  nlohmann::json cards = nlohmann::json::array();
  for (int c = 0; c < s.model->cards.count; c++) cards.push_back(card_record(s, c, &text));
  bool secure = s.model->settings.secure_audio == 1;
  appendf(text, "Secure audio: %s\n", secure ? "on" : "off");
  s.out["cards"] = cards;
  s.out["secure_audio"] = secure;
  if (!s.opt.json) std::fputs(text.c_str(), stdout);
  return KVLCFG_OK;
}

int cmd_dump(Session &s) {
  int rc = open_installation(s);
  if (rc == 0) rc = read_configuration(s);
  if (rc) return rc;
  rebuild_and_check_all(*s.model, s.db, *s.asker);
  DeviceConfigText text;
  std::string why;
  if (format_device_config(*s.model, s.db, &text, &why) < 0) return refusal(s, why);
  s.out["files"] = {{DEVICES_CFG, text.devices}, {MODULES_CFG, text.modules}};
  if (!s.opt.json) std::fputs(text.devices.c_str(), stdout);
  return KVLCFG_OK;
}

}  // namespace kvl
