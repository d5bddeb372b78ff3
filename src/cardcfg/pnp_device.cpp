#include "cardcfg/pnp_device.h"

#include "common/text.h"
#include "common/common.h"
#include "control/control.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace kvl {

namespace {

// Appends value to list unless it already holds PNP_MAX_RES entries.
int append(int32_t *list, int32_t *count, int32_t value) {
  if (*count >= PNP_MAX_RES) return 1;
  list[(*count)++] = value;
  return 0;
}

int32_t value_or(std::string_view text, int base, int32_t fallback) {
  int v;
  return parse_number(text, base, &v) == 0 ? v : fallback;
}

}  // namespace

int32_t pnp_id_from_text(std::string_view text) {
  if (text.size() != 7) return 0;
  uint32_t digits = 0;
  std::from_chars(text.data() + 3, text.data() + 7, digits, 16);
  uint32_t id = (static_cast<uint32_t>(static_cast<unsigned char>(text[0]) - 64) << 26) |
                (static_cast<uint32_t>(static_cast<unsigned char>(text[1]) - 64) << 21) |
                (static_cast<uint32_t>(static_cast<unsigned char>(text[2]) - 64) << 16) | digits;
  return static_cast<int32_t>(id);
}

std::string pnp_id_to_text(int32_t id) {
  uint32_t v = static_cast<uint32_t>(id);
  char text[16];
  std::snprintf(text, sizeof text, "%c%c%c%04X", static_cast<char>((v >> 26 & 0x1f) + 64),
                static_cast<char>((v >> 21 & 0x1f) + 64), static_cast<char>((v >> 16 & 0x1f) + 64),
                static_cast<unsigned>(v & 0xffff));
  return text;
}

int parse_pnp_device(std::string_view text, PnpDeviceRecord *rec) {
  std::memset(rec, 0, sizeof *rec);
  std::vector<std::string_view> words = split_words(text);
  if (words.empty() || words[0].empty()) return -1;
  rec->id = pnp_id_from_text(words[0]);
  int dropped = 0;
  for (size_t i = 1; i < words.size(); i++) {
    std::string_view w = words[i];
    if (w.empty()) continue;
    std::string_view rest = w.substr(1);
    switch (w[0]) {
      case 'P': dropped += append(rec->ports, &rec->nports, value_or(rest, 16, 0)); break;
      case 'I': dropped += append(rec->irqs, &rec->nirqs, value_or(rest, 10, 2)); break;
      case 'D': dropped += append(rec->dmas, &rec->ndmas, value_or(rest, 10, 4)); break;
      default: break;
    }
  }
  return dropped;
}

int set_pnp_device(const ControlDevice &control, std::string_view text) {
  PnpDeviceRecord rec;
  int dropped = parse_pnp_device(text, &rec);
  if (dropped < 0) return 0;
  if (dropped > 0) {
    std::string id(split_words(text)[0]);
    std::fprintf(stderr, "PnP device %s: more than %d ports, IRQs or DMA channels; %d ignored\n",
                 id.c_str(), PNP_MAX_RES, dropped);
  }
  if (control_send(control, CTL_SET_PNP_DEVICE, &rec) < 0) {
    print_error(request_label(CTL_SET_PNP_DEVICE));
    return -1;
  }
  return 0;
}

}  // namespace kvl
