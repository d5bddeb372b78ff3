// The configuration model of one audcore run: the driver table, the module
// dependencies, the configured cards with their settings, and who holds which
// resource. The program's entry owns one and passes it by reference; the
// reader fills it and the writer only reads it.
#pragma once

#include <cstdint>
#include <string>

#include "cardcfg/cardlist.h"
#include "cardcfg/modules.h"
#include "cardcfg/resources.h"
#include "common/common.h"

namespace kvl {

// What the configurator's detection learns during one run.
struct DetectState {
  int autodetect_done = 0;     // plug-and-play detection ran (main menu: "twice")
  int pnp_seen = 0;            // an ISA plug-and-play card answered: no ISA probing
  int isa_probe_ran = 0;       // the ISA autodetection ran
  uint32_t shared_irq_mask = 0;  // IRQs 1..31 that two PCI cards share
  // Set by a front end that decides later what to keep: detection then
  // neither deletes etc/dspdevs.map nor writes logs/pnpres.dat; the text it
  // would write is in pnpres either way (save_pnp_resources writes it).
  int keep_files = 0;
  std::string pnpres;
};

struct ConfigModel {
  std::string install_dir;     // the installation directory
  int verbosity = 0;           // number of "v" letters in the option word
  DriverTable drivers;
  ModuleDepTable module_deps;
  CardList cards;
  ConfigSettings settings;
  ResourceTables resources;
  DetectState detect;
};

}  // namespace kvl
