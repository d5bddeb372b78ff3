// Starting the added cards: which of them initialise, and what they bring.
#include "requests.h"

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

}  // namespace

void activate_cards(const Machine &m, SimJson &state) {
  std::vector<bool> isa_used(m.isa.size()), pci_used(m.pci.size());
  SimJson audio = SimJson::array(), mixers = SimJson::array(), synths = SimJson::array();
  for (const auto &s : m.synths) synths.push_back(s);
  SimJson &cards = state["cards"];
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
