// The configurator's editing screens besides the card list: manual
// configuration of each card's devices and resources, the secure-audio
// setting, and the driver options file. Each asks only through cfg.asker.
#pragma once

#include <string>
#include <vector>

#include "common/asker.h"

namespace kvl {

struct Configurator;
struct ConfigModel;
struct HwdbModel;
struct HwdbResource;

// What choosing a line of the manual configuration does.
enum ManualType {
  MANUAL_DOWNLOAD = 1,  // ask for the card's firmware file
  MANUAL_ENABLE = 2,    // switch the device on, then a resource pass
  MANUAL_DISABLE = 3,   // switch the device off (when its node allows it)
  MANUAL_PORT = 4,      // the selection dialogs, then a resource pass
  MANUAL_IRQ = 5,
  MANUAL_DMA = 6,
};

struct ManualAction {
  int type;
  int node;                    // the device's node (the card's for a download)
  int card;                    // index in the card list
  int device;                  // index among the card's devices; -1 for a download
  const HwdbResource *resource;  // for a port, IRQ or DMA line
};

// The manual configuration as data: one line per card, firmware file,
// device and resource; a selectable line's code is the index of its action.
struct ManualList {
  std::vector<AskItem> lines;
  std::vector<ManualAction> actions;
};

// Builds the list from the model; draws nothing.
ManualList build_manual_list(const ConfigModel &model, const HwdbModel &db);

// The manual configuration screen until the user leaves it (Ok or Escape);
// the current line stays current across the rebuild after each action.
void manual_configuration(Configurator &cfg);

// The secure-audio dialog, once; the choice goes to the model's settings.
void security_setup(Configurator &cfg);

// The options editor for DIR/etc/options.cfg, until Save or Cancel.
void edit_options(Configurator &cfg);

}  // namespace kvl
