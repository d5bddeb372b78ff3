// Reading what the driver's detection requests send back (probe replies,
// card names, resource dumps) and the text of logs/pnpres.dat.
#include "cardcfg/detect.h"

#include "cardcfg/pnp_device.h"
#include "common/text.h"
#include "hwdb/hwdb.h"

#include <cstring>

namespace kvl {

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The port after a card name: leading blanks skipped, then hex digits (after
// an optional "0x"); 0 when there are none or the value passes ISA_PORT_MAX.
int read_port(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') i++;
  if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      hex_digit(text[i + 2]) >= 0)
    i += 2;
  int value = 0;
  for (; i < text.size() && hex_digit(text[i]) >= 0; i++) {
    value = value * 16 + hex_digit(text[i]);
    if (value > ISA_PORT_MAX) return 0;
  }
  return value;
}

// Whether the card-name table holds key (a text of any length).
bool known(const HwdbModel &db, std::string_view key) {
  if (key.empty()) return false;
  std::string k(key);
  return hwdb_find_card(db, k.c_str()) >= 0;
}

}  // namespace

std::string_view reply_text(const unsigned char *bytes, size_t length) {
  const void *nul = std::memchr(bytes, '\0', length);
  size_t n = nul ? static_cast<size_t>(static_cast<const unsigned char *>(nul) - bytes) : length;
  return std::string_view(reinterpret_cast<const char *>(bytes), n);
}

int next_detect_line(std::string_view &reply, DetectLine *line) {
  std::string_view text;
  if (!next_line(reply, text)) return 0;
  size_t blank = text.find(' ');
  line->name = text.substr(0, blank);
  line->port = blank == std::string_view::npos ? 0 : read_port(text.substr(blank + 1));
  return 1;
}

PnpCardName read_pnp_card_name(const char *bytes, size_t length) {
  std::string_view text = reply_text(reinterpret_cast<const unsigned char *>(bytes), length);
  PnpCardName name;
  size_t blank = text.find(' ');
  name.first = text.substr(0, blank);
  if (blank != std::string_view::npos) {
    std::string_view rest = text.substr(blank + 1);
    name.second = rest.substr(0, rest.find(' '));
  }
  return name;
}

std::string detected_card_name(const HwdbModel &db, int32_t id, const PnpCardName &text) {
  if (id != -1) {
    std::string name = pnp_id_to_text(id);
    return known(db, name) ? name : "";
  }
  if (!known(db, text.first)) return "";
  std::string name(text.first);
  if (text.second.empty()) return name;
  if (known(db, text.second)) name = text.second;
  if (text.second.substr(0, 3) == "PCI") {
    std::string sub = "SUB" + std::string(text.second.substr(3));
    if (known(db, sub)) name = sub;
  }
  return name;
}

uint32_t irq_mask_bit(int irq) { return irq >= 1 && irq <= 31 ? 1u << irq : 0; }

void append_pnp_resources(std::string &out, int card, int32_t count, const unsigned char *data,
                          size_t size) {
  uint32_t id = 0;
  for (size_t i = 0; i < 4 && i < size; i++) id |= static_cast<uint32_t>(data[i]) << (8 * i);
  size_t n = count < 0 ? 0 : static_cast<size_t>(count) < size ? static_cast<size_t>(count) : size;
  appendf(out, "Resources for PnP card #%d (%s)", card,
          pnp_id_to_text(static_cast<int32_t>(id)).c_str());
  for (size_t i = 0; i < n; i++) {
    if (i % 16 == 0) appendf(out, "\n%04zx: ", i);
    appendf(out, "%02x ", data[i]);
  }
  out += "\n\n";
}

void append_sharing_warning(std::string &out, uint32_t shared_irq_mask) {
  if (shared_irq_mask == 0) return;
  out += "\n\nWarning! PCI interrupt sharing detected, IRQ ";
  for (int irq = 3; irq <= 15; irq++)
    if (shared_irq_mask & irq_mask_bit(irq)) appendf(out, "%d ", irq);
  out += "\n";
}

}  // namespace kvl
