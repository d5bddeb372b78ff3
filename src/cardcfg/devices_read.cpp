#include "cardcfg/devices_cfg.h"

#include "cardcfg/model.h"
#include "cardcfg/resources.h"
#include "common/text.h"
#include "common/common.h"
#include "hwdb/hwdb.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace kvl {

namespace {

constexpr size_t CFG_PIECE_MAX = 998;

using Words = std::vector<std::string_view>;

// Sets the bits of the words that are decimal numbers from lo to hi; holders,
// when given, get "Disabled" for those numbers where still free.
uint32_t read_mask(const Words &w, int lo, int hi, const char **holders) {
  uint32_t mask = 0;
  for (size_t i = 1; i < w.size(); i++) {
    int n;
    if (parse_number(w[i], 10, &n) < 0 || n < lo || n > hi) continue;
    mask |= 1u << n;
    if (holders && !holders[n]) holders[n] = HOLDER_DISABLED;
  }
  return mask;
}

void read_option(ConfigModel &m, const Words &w) {
  ConfigSettings &s = m.settings;
  std::string_view opt = w[0].substr(1);
  if (opt == "SECUREAUDIO") {
    if (w.size() > 1) s.secure_audio = w[1] == "OFF" ? 0 : 1;
  } else if (opt == "PCIIRQ") {
    s.pci_irq_mask = read_mask(w, 1, 31, nullptr);
  } else if (opt == "IRQEXCLUDE") {
    s.irq_exclude = read_mask(w, 1, 31, m.resources.irq);
  } else if (opt == "DMAEXCLUDE") {
    s.dma_exclude = read_mask(w, 0, 7, m.resources.dma);
  } else if (opt == "PNPPRESERVE") {
    s.pnp_preserve = 1;
  } else if (opt == "DSPX") {
    s.dspx = 1;
  } else if (opt == "PNPPORT") {
    int port;
    s.pnp_port = w.size() > 1 && parse_number(w[1], 16, &port) == 0 ? port : 0;
  }
}

CardDevice *find_device(const HwdbModel &db, ConfiguredCard &card, std::string_view name) {
  for (int d = 0; d < card.device_count; d++) {
    const HwdbNode *node = hwdb_node(db, card.devices[d].node);
    if (node && field_text(node->name) == name) return &card.devices[d];
  }
  return nullptr;
}

void set_number(std::string_view text, int base, int32_t *field) {
  int v;
  if (parse_number(text, base, &v) == 0) *field = v;
}

void read_device_line(const HwdbModel &db, const Words &w, ConfiguredCard &card) {
  CardDevice *dev = find_device(db, card, w[0]);
  for (size_t i = 1; i < w.size(); i++) {
    std::string_view word = w[i];
    if (word.empty()) continue;
    char kind = word[0];
    if (kind == '#') return;
    if (kind == '$') {
      if (++i >= w.size()) return;
      copy_field(card.download_path, w[i]);
      continue;
    }
    if (!dev) continue;
    std::string_view rest = word.substr(1);
    switch (kind) {
      case 'O': dev->enabled = rest.size() > 0 && rest[0] == 'F' ? 0 : 1; break;
      case 'P': set_number(rest, 16, &dev->port); break;
      case 'I': set_number(rest, 10, &dev->irq[0]); break;
      case 'i': set_number(rest, 10, &dev->irq[1]); break;
      case 'D': set_number(rest, 10, &dev->dma[0]); break;
      case 'd': set_number(rest, 10, &dev->dma[1]); break;
      default: break;
    }
  }
}

}  // namespace

int parse_devices_cfg(ConfigModel &model, const HwdbModel &db, Asker &asker, std::string_view text) {
  model.settings.first_configuration = 0;
  CardList &cards = model.cards;
  ConfiguredCard *current = nullptr;
  int skipped = 0;
  std::string_view line;
  int n = 0;
  for (int rc; (rc = next_config_line(text, line, &n, CFG_PIECE_MAX)) != 0;) {
    if (rc < 0) {
      // Refused as a whole, as start-up refuses it. A card line's device
      // lines go with it: taken into the card before, they would change it.
      std::fprintf(stderr, "%s\n", nul_line_message("etc/devices.cfg", n).c_str());
      if (!line.empty() && line[0] == '-') current = nullptr;
      skipped++;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '-') {
      std::string name(line.substr(1, line.find(' ') - 1));
      if (add_card(model, db, asker, name.c_str(), 0) < 0) skipped++;
      current = cards.count > 0 ? &cards.cards[cards.count - 1] : nullptr;
      continue;
    }
    Words words = split_words(line);
    if (line[0] == '/') read_option(model, words);
    else if (current && !words.empty()) read_device_line(db, words, *current);
  }
  return skipped;
}

int read_devices_cfg(ConfigModel &model, const HwdbModel &db, Asker &asker, const char *path,
                     std::string *text_read) {
  std::string text;
  if (read_text_file(path, text) < 0) {
    int err = errno;
    if (err == ENOENT) std::fprintf(stderr, "No earlier configuration detected\n");
    else print_error(path, err);  // there is one, but it cannot be read
    errno = err;
    return -1;
  }
  if (text_read) *text_read = text;
  int skipped = parse_devices_cfg(model, db, asker, text);
  rebuild_and_check_all(model, db, asker);
  return skipped;
}

}  // namespace kvl
