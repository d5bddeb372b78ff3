#include "common/atomic_file.h"
#include "common/text.h"
#include "cardcfg/devices_cfg.h"
#include "cardcfg/modules.h"
#include "cardcfg/notice.h"
#include "cardcfg/pnp_layout.h"
#include "common/common.h"
#include "hwdb/hwdb.h"

#include <cstdio>
#include <cstdlib>

namespace kvl {

namespace {

constexpr int PNP_PORT_MIN = 0x203;
constexpr int PNP_PORT_MAX = 0x3fe;
constexpr int DNLD_BINARY = 1;
constexpr int DNLD_HEX = 2;

// Set when a module did not fit the module list during the current format.
bool g_modules_overflow = false;

const HwdbNode *node_at(int index) {
  return index >= 0 && index < hwdb_node_count ? &hwdb_nodes[index] : nullptr;
}

void add_device_module(const CardDevice &dev) {
  const HwdbNode *node = node_at(dev.node);
  if (!node) return;
  if (add_module(module_of_driver(field_text(node->name))) < 0) g_modules_overflow = true;
}

// "/NAME" followed by " %d" for every set bit from first to last.
void write_mask(std::string &out, const char *name, uint32_t mask, int first, int last) {
  if (!mask) return;
  out += name;
  for (int n = first; n <= last; n++)
    if (mask >> n & 1u) appendf(out, " %d", n);
  out += '\n';
}

void write_settings(std::string &out) {
  const ConfigSettings &s = g_settings;
  out += "# Use audset to edit this file.\n";
  if (s.dspx) out += "/DSPX\n";
  out += s.secure_audio == 1 ? "/SECUREAUDIO ON\n" : "/SECUREAUDIO OFF\n";
  write_mask(out, "/PCIIRQ", s.pci_irq_mask, 1, 31);
  write_mask(out, "/IRQEXCLUDE", s.irq_exclude, 1, 31);
  write_mask(out, "/DMAEXCLUDE", s.dma_exclude, 0, 7);
  if (s.pnp_port >= PNP_PORT_MIN && s.pnp_port <= PNP_PORT_MAX)
    appendf(out, "/PNPPORT %x\n", s.pnp_port);
}

// The card's firmware line. Returns -1 after the message for an unknown type.
int write_download(std::string &out, const ConfiguredCard &card, const HwdbNode &node) {
  if (node.dnld == 0 || card.download_path[0] == '\0') return 0;
  const char *kind;
  if (node.dnld == DNLD_BINARY) kind = "$LOADBIN";
  else if (node.dnld == DNLD_HEX) kind = "$LOADHEX";
  else {
    std::fprintf(stderr, "Internal error - Unknown download type %d\n", node.dnld);
    return -1;
  }
  std::string name(field_text(node.dnld_name));
  std::string path(field_text(card.download_path));
  appendf(out, "%s %s %s\n", name.c_str(), kind, path.c_str());
  return 0;
}

// One card. Returns 1 for a plug-and-play card, 0 for another, -1 on an error.
int write_card(std::string &out, ConfiguredCard &card) {
  const HwdbNode *node = node_at(card.node);
  if (!node) return 0;
  std::string name(field_text(card.name));
  appendf(out, "-%s #%s\n", name.c_str(), card_title(card).c_str());
  if (node->control != -1)
    if (const char *control = hwdb_text(node->control)) appendf(out, "/CONTROL %s\n", control);
  if (write_download(out, card, *node) < 0) return -1;
  if (node->opt & (OPT_NO_ALLOC | OPT_PNP)) {
    for (int d = 0; d < card.device_count; d++) add_device_module(card.devices[d]);
    write_pnp_section(out, card);
    return 1;
  }
  write_device_lines(out, card);
  return 0;
}

}  // namespace

void write_device_lines(std::string &out, const ConfiguredCard &card) {
  const HwdbNode *card_node = node_at(card.node);
  int card_opt = card_node ? card_node->opt : 0;
  for (int d = 0; d < card.device_count; d++) {
    const CardDevice &dev = card.devices[d];
    add_device_module(dev);
    const HwdbNode *node = node_at(dev.node);
    if (!node || (node->opt & (OPT_NO_ALLOC | OPT_PNP))) continue;
    out += field_text(node->name);
    if (!dev.enabled) {
      out += " OFF";
      g_settings.devices_disabled = 1;
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

int format_device_config(std::string &devices, std::string &modules) {
  g_modules = ModuleList{};
  g_modules_overflow = false;
  g_settings.devices_disabled = 0;
  devices.clear();
  modules.clear();
  write_settings(devices);
  bool pnp_written = false;
  for (int i = 0; i < g_cards.count; i++) {
    int rc = write_card(devices, g_cards.cards[i]);
    if (rc < 0) return -1;
    if (rc == 1) pnp_written = true;
  }
  if (pnp_written) {
    if (g_settings.pnp_port > 0) appendf(devices, "PNP P%x\n", g_settings.pnp_port);
    else devices += "PNP\n";
    if (add_module("pnp") < 0) g_modules_overflow = true;
  }
  if (g_modules_overflow) {
    std::fprintf(stderr, "Too many modules for etc/modules.cfg (at most %d); nothing saved\n",
                 MAX_MODULES);
    return -1;
  }
  for (int i = 0; i < g_modules.count; i++) {
    modules += field_text(g_modules.names[i]);
    modules += '\n';
  }
  return 0;
}

void write_device_config(const char *devices_path, const char *modules_path) {
  std::string devices, modules;
  if (format_device_config(devices, modules) < 0) std::exit(255);
  if (replace_file(devices_path, devices) < 0) {
    print_error(devices_path);
    std::exit(255);
  }
  if (replace_file(modules_path, modules) < 0) {
    print_error(modules_path);
    std::exit(255);
  }
  if (g_settings.devices_disabled)
    user_notice("Warning: some devices are disabled (see Manual configuration menu)");
}

}  // namespace kvl
