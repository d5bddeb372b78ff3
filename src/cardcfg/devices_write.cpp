#include "cardcfg/devices_cfg.h"

#include "common/asker.h"
#include "cardcfg/model.h"
#include "cardcfg/pnp_layout.h"
#include "common/atomic_file.h"
#include "common/common.h"
#include "common/text.h"
#include "hwdb/hwdb.h"

#include <cerrno>
#include <cstring>
#include <memory>

namespace kvl {

namespace {

constexpr int PNP_PORT_MIN = 0x203;
constexpr int PNP_PORT_MAX = 0x3fe;

void add_device_module(ConfigWriter &w, const CardDevice &dev) {
  const HwdbNode *node = hwdb_node(w.db, dev.node);
  if (!node) return;
  std::string_view module = module_of_driver(w.model.drivers, field_text(node->name));
  if (add_module(w.modules, w.model.module_deps, module) < 0) w.modules_overflow = true;
}

// "/NAME" followed by " %d" for every set bit from first to last.
void write_mask(std::string &out, const char *name, uint32_t mask, int first, int last) {
  if (!mask) return;
  out += name;
  for (int n = first; n <= last; n++)
    if (mask >> n & 1u) appendf(out, " %d", n);
  out += '\n';
}

void write_settings(std::string &out, const ConfigSettings &s) {
  out += "# Use audset to edit this file.\n";
  if (s.dspx) out += "/DSPX\n";
  out += s.secure_audio == 1 ? "/SECUREAUDIO ON\n" : "/SECUREAUDIO OFF\n";
  write_mask(out, "/PCIIRQ", s.pci_irq_mask, 1, 31);
  write_mask(out, "/IRQEXCLUDE", s.irq_exclude, 1, 31);
  write_mask(out, "/DMAEXCLUDE", s.dma_exclude, 0, 7);
  if (s.pnp_port >= PNP_PORT_MIN && s.pnp_port <= PNP_PORT_MAX)
    appendf(out, "/PNPPORT %x\n", s.pnp_port);
}

// The card's firmware line. Returns -1 with why for an unknown type.
int write_download(std::string &out, const ConfiguredCard &card, const HwdbNode &node,
                   std::string *why) {
  if (node.dnld == 0 || card.download_path[0] == '\0') return 0;
  const char *kind;
  if (node.dnld == DNLD_BINARY) kind = "$LOADBIN";
  else if (node.dnld == DNLD_HEX) kind = "$LOADHEX";
  else {
    why->clear();
    appendf(*why, "Internal error - Unknown download type %d", node.dnld);
    return -1;
  }
  std::string name(field_text(node.dnld_name));
  std::string path(field_text(card.download_path));
  appendf(out, "%s %s %s\n", name.c_str(), kind, path.c_str());
  return 0;
}

// One card. Returns 1 for a plug-and-play card, 0 for another, -1 with why
// on an error.
int write_card(ConfigWriter &w, const ConfiguredCard &card, std::string *why) {
  const HwdbNode *node = hwdb_node(w.db, card.node);
  if (!node) return 0;
  std::string name(field_text(card.name));
  appendf(w.out, "-%s #%s\n", name.c_str(), card_title(w.db, card).c_str());
  if (node->control != -1)
    if (const char *control = hwdb_text(w.db, node->control))
      appendf(w.out, "/CONTROL %s\n", control);
  if (write_download(w.out, card, *node, why) < 0) return -1;
  if (node->opt & (OPT_NO_ALLOC | OPT_PNP)) {
    for (int d = 0; d < card.device_count; d++) add_device_module(w, card.devices[d]);
    write_pnp_section(w, card);
    return 1;
  }
  write_device_lines(w, card);
  return 0;
}

}  // namespace

void write_device_lines(ConfigWriter &w, const ConfiguredCard &card) {
  const HwdbNode *card_node = hwdb_node(w.db, card.node);
  int card_opt = card_node ? card_node->opt : 0;
  std::string &out = w.out;
  for (int d = 0; d < card.device_count; d++) {
    const CardDevice &dev = card.devices[d];
    add_device_module(w, dev);
    const HwdbNode *node = hwdb_node(w.db, dev.node);
    if (!node || (node->opt & (OPT_NO_ALLOC | OPT_PNP))) continue;
    out += field_text(node->name);
    if (!dev.enabled) {
      out += " OFF";
      w.devices_disabled = true;
    } else {
      out += (card_opt & OPT_PNP) ? " OPNP" : " ON";
    }
    if (dev.port_count > 0 && dev.port > 0) appendf(out, " P%x", dev.port);
    if (dev.irq_count > 0 && dev.irq[0] > 0) appendf(out, " I%d", dev.irq[0]);
    if (dev.irq_count > 1 && dev.irq[1] > 0) appendf(out, " i%d", dev.irq[1]);
    if (dev.dma_count > 0 && dev.dma[0] >= 0) appendf(out, " D%d", dev.dma[0]);
    if (dev.dma_count > 1 && dev.dma[1] >= 0) appendf(out, " d%d", dev.dma[1]);
    out += '\n';
  }
  if (card_opt & OPT_NEEDS_ISA) out += "#NEEDS_ISA\n";
  if (card_opt & OPT_NEEDS_MMPCI) out += "#NEEDS_MMPCI\n";
  if (card_opt & OPT_NEEDS_USB) out += "#NEEDS_USB\n";
}

int format_device_config(const ConfigModel &model, const HwdbModel &db, DeviceConfigText *out,
                         std::string *why) {
  // The writer's module list is large: kept off the stack.
  auto w = std::make_unique<ConfigWriter>(model, db);
  const ConfigSettings &s = model.settings;
  write_settings(w->out, s);
  bool pnp_written = false;
  for (int i = 0; i < model.cards.count; i++) {
    int rc = write_card(*w, model.cards.cards[i], why);
    if (rc < 0) return -1;
    if (rc == 1) pnp_written = true;
  }
  if (pnp_written) {
    if (s.pnp_port > 0) appendf(w->out, "PNP P%x\n", s.pnp_port);
    else w->out += "PNP\n";
    if (add_module(w->modules, model.module_deps, "pnp") < 0) w->modules_overflow = true;
  }
  if (w->modules_overflow) {
    why->clear();
    appendf(*why, "Too many modules for etc/modules.cfg (at most %d); nothing saved", MAX_MODULES);
    return -1;
  }
  out->devices = std::move(w->out);
  out->modules.clear();
  for (int i = 0; i < w->modules.count; i++) {
    out->modules += field_text(w->modules.names[i]);
    out->modules += '\n';
  }
  out->devices_disabled = w->devices_disabled;
  return 0;
}

int write_device_config(const ConfigModel &model, const HwdbModel &db, Asker &asker,
                        const char *devices_path, const char *modules_path, std::string *why) {
  DeviceConfigText text;
  if (format_device_config(model, db, &text, why) < 0) return -1;
  const std::pair<const char *, const std::string *> files[] = {
      {devices_path, &text.devices}, {modules_path, &text.modules}};
  // Both files are checked before either is replaced, so that a save that
  // cannot be completed leaves the pair as it was.
  for (auto [path, body] : files) {
    if (check_target_replaceable(path) < 0) {
      *why = std::string(path) + ": " + std::strerror(errno);
      return -1;
    }
  }
  for (auto [path, body] : files) {
    // 0644: start-up runs the commands of a devices.cfg only nobody else can change.
    if (replace_file(path, *body, true, 0644) < 0) {
      *why = std::string(path) + ": " + std::strerror(errno);
      return -1;
    }
  }
  if (text.devices_disabled)
    asker.notice("Warning: some devices are disabled (see Manual configuration menu)", true);
  return 0;
}

}  // namespace kvl
