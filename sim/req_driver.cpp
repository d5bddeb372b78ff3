// The driver's identity, its card-level driver lists, and the cards added to it.
#include "driver/driver.h"
#include "requests.h"

#include <cerrno>
#include <cstring>

namespace kvl {

namespace {

constexpr int MAX_ADDED_CARDS = 20;

int32_t &out_int(SimCall &c) { return *static_cast<int32_t *>(c.arg); }

// The names (or "name:description" lines) joined by newlines into the
// 4096-byte reply, cut to fit.
void put_list(SimCall &c, bool long_form) {
  std::string text;
  for (size_t i = 0; i < c.machine.drivers.size(); i++) {
    if (i) text += '\n';
    text += c.machine.drivers[i].name;
    if (long_form) text += ":" + c.machine.drivers[i].description;
  }
  set_field_text(static_cast<char *>(c.arg), DRIVER_LIST_BYTES, text);
  c.entry["count"] = c.machine.drivers.size();
}

}  // namespace

int req_get_version(SimCall &c) {
  out_int(c) = c.machine.version;
  c.entry["version"] = c.machine.version;
  return 0;
}

int req_get_ndrivers(SimCall &c) {
  out_int(c) = c.machine.driver_slots;
  c.entry["slots"] = c.machine.driver_slots;
  return 0;
}

int req_get_drivers(SimCall &c) {
  put_list(c, false);
  return 0;
}

int req_get_drivers_long(SimCall &c) {
  put_list(c, true);
  return 0;
}

int req_get_driver_types(SimCall &c) {
  int32_t *keys = static_cast<int32_t *>(c.arg);
  std::memset(keys, 0, DRIVER_TYPE_SLOTS * sizeof(int32_t));
  size_t n = c.machine.drivers.size();
  for (size_t i = 0; i < n && i < DRIVER_TYPE_SLOTS; i++) keys[i] = c.machine.drivers[i].key;
  c.entry["count"] = n;
  return 0;
}

int req_get_status(SimCall &c) {
  out_int(c) = c.state["status"].get<int>();
  c.entry["status"] = c.state["status"];
  return 0;
}

// Cards are installed once they are activated; before that none is reported.
int req_get_ncards(SimCall &c) {
  int n = c.state["status"].get<int>() ? static_cast<int>(c.state["cards"].size()) : 0;
  out_int(c) = n;
  c.entry["cards"] = n;
  return 0;
}

int req_get_card_info(SimCall &c) {
  CardInfo *ci = static_cast<CardInfo *>(c.arg);
  int index = ci->key;
  c.entry["index"] = index;
  const SimJson &cards = c.state["cards"];
  std::memset(ci, 0, sizeof *ci);
  if (c.state["status"].get<int>() && index >= 0 && index < static_cast<int>(cards.size())) {
    // value(): a hand-edited card may lack a key, which the const
    // operator[] must never be asked for.
    const SimJson &card = cards[index];
    ci->key = card.value("key", 0);
    ci->port = card.value("port", 0);
    ci->irq = card.value("irq", 0);
    ci->dma1 = card.value("dma1", -1);
    ci->dma2 = card.value("dma2", -1);
    ci->initialized = card.value("initialized", 0);
  }
  c.entry["key"] = ci->key;
  c.entry["initialized"] = ci->initialized;
  return 0;
}

int req_add_card(SimCall &c) {
  const CardConfigRecord *r = static_cast<const CardConfigRecord *>(c.arg);
  std::string name = field_text(r->name, sizeof r->name);
  c.entry["key"] = r->key;
  c.entry["name"] = name;
  c.entry["port"] = r->port;
  c.entry["irq"] = r->irq;
  c.entry["dma1"] = r->dma1;
  c.entry["dma2"] = r->dma2;
  if (c.state["status"].get<int>()) return -EBUSY;  // the cards are already started
  int d = machine_driver_by_key(c.machine, r->key);
  if (d < 0) return -ENXIO;
  if (c.state["cards"].size() >= MAX_ADDED_CARDS) return -ENOSPC;
  SimJson card = {{"key", r->key},   {"driver", c.machine.drivers[d].name},
                  {"name", name},    {"port", r->port},
                  {"irq", r->irq},   {"dma1", r->dma1},
                  {"dma2", r->dma2}, {"initialized", nullptr}};
  c.state["cards"].push_back(card);
  return 0;
}

int req_activate(SimCall &c) {
  c.entry["value"] = out_int(c);
  if (c.state["status"].get<int>()) return -EBUSY;
  activate_cards(c.machine, c.state);
  return 0;
}

int req_card_header(SimCall &c) {
  const CardHeaderRecord *h = static_cast<const CardHeaderRecord *>(c.arg);
  std::string name = field_text(h->name, sizeof h->name);
  std::string description = field_text(h->description, sizeof h->description);
  c.entry["name"] = name;
  c.entry["description"] = description;
  c.state["headers"].push_back({{"name", name}, {"description", description}});
  return 0;
}

}  // namespace kvl
