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

int find_device(const HwdbModel &db, const ConfiguredCard &card, std::string_view name) {
  for (int d = 0; d < card.device_count && d < MAX_CARD_DEVICES; d++) {
    const HwdbNode *node = hwdb_node(db, card.devices[d].node);
    if (node && field_text(node->name) == name) return d;
  }
  return -1;
}

// A slot word's field and whether the device has that slot.
int32_t *word_field(CardDevice &dev, char kind, bool *has) {
  switch (kind) {
    case 'P': *has = dev.port_count > 0; return &dev.port;
    case 'I': *has = dev.irq_count > 0; return &dev.irq[0];
    case 'i': *has = dev.irq_count > 1; return &dev.irq[1];
    case 'D': *has = dev.dma_count > 0; return &dev.dma[0];
    case 'd': *has = dev.dma_count > 1; return &dev.dma[1];
    default: *has = false; return nullptr;
  }
}

const char *slot_name(char kind) {
  switch (kind) {
    case 'P': return "I/O port";
    case 'I': return "IRQ";
    case 'i': return "second IRQ";
    case 'D': return "DMA channel";
    default: return "second DMA channel";
  }
}

// One device line. Without why, as the reader reads a file: what it cannot
// use is passed over. With why, as a person's words: the first such word
// ends it with -1 and the reason.
int read_device_line(const HwdbModel &db, const Words &w, ConfiguredCard &card, std::string *why) {
  int d = find_device(db, card, w[0]);
  CardDevice *dev = d >= 0 ? &card.devices[d] : nullptr;
  auto refuse = [&](std::string_view word, const std::string &reason) {
    *why = "'" + std::string(word) + "': " + reason;
    return -1;
  };
  if (why && !dev)
    return refuse(w[0], "the card has no such device");
  for (size_t i = 1; i < w.size(); i++) {
    std::string_view word = w[i];
    if (word.empty()) continue;
    char kind = word[0];
    if (kind == '#') return 0;
    if (kind == '$') {
      if (++i >= w.size()) return why ? refuse(word, "a firmware file must follow") : 0;
      copy_field(card.download_path, w[i]);
      continue;
    }
    if (!dev) continue;
    std::string_view rest = word.substr(1);
    if (kind == 'O') {
      if (why && word != "ON" && word != "OFF" && word != "OPNP")
        return refuse(word, "not ON, OFF or OPNP");
      dev->enabled = rest.size() > 0 && rest[0] == 'F' ? 0 : 1;
      continue;
    }
    bool has = false;
    int32_t *field = word_field(*dev, kind, &has);
    if (!field) {
      if (why) return refuse(word, "not a device word");
      continue;
    }
    int v;
    if (parse_number(rest, kind == 'P' ? 16 : 10, &v) != 0) {
      if (why) return refuse(word, kind == 'P' ? "not a hexadecimal port" : "not a number");
      continue;
    }
    if (why && !has) return refuse(word, std::string("the device has no ") + slot_name(kind));
    *field = v;
  }
  return 0;
}

}  // namespace

int parse_devices_cfg(ConfigModel &model, const HwdbModel &db, Asker &asker, std::string_view text,
                      DevicesCfgLines *lines) {
  model.settings.first_configuration = 0;
  CardList &cards = model.cards;
  int current = -1;
  int skipped = 0;
  std::string_view line;
  int n = 0;
  for (int rc; (rc = next_config_line(text, line, &n, CFG_PIECE_MAX)) != 0;) {
    if (rc < 0) {
      // Refused as a whole, as start-up refuses it. A card line's device
      // lines go with it: taken into the card before, they would change it.
      if (lines) lines->skipped.push_back({n, "line contains a NUL byte"});
      else std::fprintf(stderr, "%s\n", nul_line_message(DEVICES_CFG, n).c_str());
      if (!line.empty() && line[0] == '-') current = -1;
      skipped++;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '-') {
      std::string name(line.substr(1, line.find(' ') - 1));
      if (lines && hwdb_find_card(db, name.c_str()) < 0) {
        lines->skipped.push_back({n, "Card '" + name + "' not found in database"});
        skipped++;
      } else if (lines && cards.count >= MAX_CARDS) {
        lines->skipped.push_back({n, "Too many devices"});
        skipped++;
      } else if (add_card(model, db, asker, name.c_str(), 0) < 0) {
        skipped++;
      } else if (lines) {
        lines->card[cards.count - 1] = n;
      }
      current = cards.count - 1;
      continue;
    }
    Words words = split_words(line);
    if (line[0] == '/') {
      read_option(model, words);
    } else if (current >= 0 && !words.empty()) {
      ConfiguredCard &card = cards.cards[current];
      if (lines) {
        int d = find_device(db, card, words[0]);
        if (d >= 0) lines->device[current][d] = n;
        for (std::string_view w : words)
          if (!w.empty() && w[0] == '$') lines->download[current] = n;
      }
      read_device_line(db, words, card, nullptr);
    }
  }
  return skipped;
}

int apply_device_words(const HwdbModel &db, ConfiguredCard &card,
                       const std::vector<std::string_view> &words, std::string *why) {
  if (words.empty()) {
    *why = "no device named";
    return -1;
  }
  return read_device_line(db, words, card, why);
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
