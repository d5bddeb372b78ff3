// Starting the added cards: which of them initialise, and what they bring.
#include "requests.h"

#include <algorithm>
#include <vector>

namespace kvl {

namespace {

// The bus driver that stands for all ISA plug-and-play cards.
constexpr const char *PNP_BUS_DRIVER = "PNP";

bool isa_matches(const SimIsaCard &hw, const SimJson &card) {
  return hw.driver == card["driver"].get<std::string>() && hw.port == card["port"].get<int>() &&
         hw.irq == card["irq"].get<int>() && hw.dma == card["dma1"].get<int>() &&
         hw.dma2 == card["dma2"].get<int>();
}

// The hardware an added card drives, claimed so that two added cards never
// share one piece of hardware. Empty when nothing present matches.
std::vector<const SimDevices *> claim_hardware(const Machine &m, const SimJson &card,
                                               std::vector<bool> &isa_used,
                                               std::vector<bool> &pci_used) {
  std::vector<const SimDevices *> found;
  const std::string driver = card["driver"].get<std::string>();
  if (driver == PNP_BUS_DRIVER) {
    for (const auto &p : m.pnp) found.push_back(&p.devices);
    return found;
  }
  if (card.contains("pci")) {  // brought up by its card header
    size_t i = card["pci"].get<size_t>();
    pci_used[i] = true;
    found.push_back(&m.pci[i].devices);
    return found;
  }
  for (size_t i = 0; i < m.pci.size(); i++)
    if (!pci_used[i] && m.pci[i].driver == driver) {
      pci_used[i] = true;
      found.push_back(&m.pci[i].devices);
      return found;
    }
  for (size_t i = 0; i < m.isa.size(); i++)
    if (!isa_used[i] && isa_matches(m.isa[i], card)) {
      isa_used[i] = true;
      found.push_back(&m.isa[i].devices);
      return found;
    }
  return found;
}

// A driver that needs firmware starts only with a whole image of the size
// the machine names.
bool firmware_ready(const Machine &m, const SimJson &state, const std::string &driver) {
  auto need = m.firmware.find(driver);
  if (need == m.firmware.end()) return true;
  const SimJson &fw = state["firmware"];
  if (!fw.contains(driver)) return false;
  return fw[driver].value("complete", false) && fw[driver].value("total", -1) == need->second;
}

// True when a configured card key names a PCI card by its text name: the
// first word, the second word, or the second word with "PCI" read as "SUB"
// (the names under which detection finds it in the card-name table).
bool pci_name_matches(const std::string &text, const std::string &key) {
  size_t blank = text.find(' ');
  std::string first = text.substr(0, blank);
  std::string second = blank == std::string::npos ? "" : text.substr(blank + 1);
  if (key == first || (!second.empty() && key == second)) return true;
  return second.rfind("PCI", 0) == 0 && key == "SUB" + second.substr(3);
}

// PCI cards are found by the driver on the bus, not added with resources: a
// card header naming a PCI card present brings that card up as well.
void add_pci_cards_by_header(const Machine &m, SimJson &state, std::vector<bool> &pci_used) {
  for (const auto &h : state["headers"]) {
    const std::string key = h.value("name", "");
    for (size_t i = 0; i < m.pci.size(); i++) {
      if (pci_used[i] || !pci_name_matches(m.pci[i].name, key)) continue;
      int d = machine_driver_by_name(m, m.pci[i].driver);
      if (d < 0) continue;
      pci_used[i] = true;
      state["cards"].push_back({{"key", m.drivers[d].key}, {"driver", m.pci[i].driver},
                                {"name", key}, {"port", 0}, {"irq", m.pci[i].irq},
                                {"dma1", -1}, {"dma2", -1}, {"initialized", nullptr},
                                {"pci", i}});
      break;
    }
  }
}

}  // namespace

void activate_cards(const Machine &m, SimJson &state) {
  std::vector<bool> isa_used(m.isa.size()), pci_used(m.pci.size());
  SimJson audio = SimJson::array(), mixers = SimJson::array(), synths = SimJson::array();
  for (const auto &s : m.synths) synths.push_back(s);
  SimJson &cards = state["cards"];
  // Cards added with a PCI driver claim their hardware first.
  for (const auto &card : cards)
    for (size_t i = 0; i < m.pci.size(); i++)
      if (!pci_used[i] && m.pci[i].driver == card["driver"].get<std::string>()) {
        pci_used[i] = true;
        break;
      }
  add_pci_cards_by_header(m, state, pci_used);
  std::fill(pci_used.begin(), pci_used.end(), false);
  for (const auto &card : cards)
    if (card.contains("pci")) pci_used[card["pci"].get<size_t>()] = true;
  for (size_t i = 0; i < cards.size(); i++) {
    SimJson &card = cards[i];
    std::vector<const SimDevices *> hw = claim_hardware(m, card, isa_used, pci_used);
    bool ok = !hw.empty() && firmware_ready(m, state, card["driver"].get<std::string>());
    card["initialized"] = ok ? 1 : 0;
    if (!ok) continue;
    for (const SimDevices *d : hw) {
      for (const auto &a : d->audio)
        audio.push_back({{"name", a.name}, {"channels", a.channels}, {"ac3", a.ac3}, {"card", i}});
      for (const auto &x : d->mixers) mixers.push_back(x);
      for (const auto &x : d->synths) synths.push_back(x);
    }
  }
  SimJson all = SimJson::array();
  for (size_t i = 0; i < audio.size(); i++) all.push_back(i);
  state["audio"] = audio;
  state["mixers"] = mixers;
  state["synths"] = synths;
  state["routing"] = {{"input", all}, {"output", all}, {"duplex", all}};
  state["status"] = 1;
}

}  // namespace kvl
