#include "cardcfg/card_lines.h"

#include "common/text.h"
#include "hwdb/hwdb.h"

namespace kvl {

namespace {

// The value after "= ", or "not assigned" for a slot without one.
std::string shown_value(const char *format, const int *slot) {
  std::string out;
  if (!slot || *slot < 0) return "not assigned";
  appendf(out, format, *slot);
  return out;
}

}  // namespace

std::string device_label(const HwdbModel &db, const HwdbNode &node) {
  const char *text = hwdb_text(db, node.descr);
  if (!text) return std::string(field_text(node.name));
  std::string s = text;
  return s.substr(0, s.find('\n'));
}

std::string resource_value_line(const HwdbResource &res, const int *slot) {
  if (res.restype == RES_IO) return "I/O port = " + shown_value("%x", slot);
  if (res.restype == RES_IRQ) return "IRQ      = " + shown_value("%d", slot);
  if (res.restype != RES_DMA) return "";
  std::string text;
  appendf(text, "DMA (%c)  = ", res.num == 2 ? 'B' : 'A');
  return text + shown_value("%d", slot);
}

}  // namespace kvl
