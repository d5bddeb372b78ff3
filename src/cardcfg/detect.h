// The configurator's card detection: plug-and-play and PCI cards named by the
// driver, and older ISA cards found by their drivers' probes. Found cards are
// appended to the model's card list; notes go through the Asker; failed
// driver requests are printed on standard error with their labels.
#pragma once

namespace kvl {

struct ConfigModel;
struct HwdbModel;
struct ControlDevice;
class Asker;

// Replaces the card list with the plug-and-play and PCI cards the driver
// reports, sets model.detect.autodetect_done and writes logs/pnpres.dat.
void detect_pnp_cards(ConfigModel &model, const HwdbModel &db, Asker &asker,
                      const ControlDevice &control);

// Asks every card-level driver to probe for ISA cards without plug and play
// and appends each card found; does nothing once a plug-and-play card was seen.
void autodetect_isa_cards(ConfigModel &model, const HwdbModel &db, Asker &asker,
                          const ControlDevice &control);

}  // namespace kvl
