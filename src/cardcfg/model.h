// The configuration model of one audcore run: the driver table, the module
// dependencies, the configured cards with their settings, and who holds which
// resource. The program's entry owns one and passes it by reference; the
// reader fills it and the writer only reads it.
#pragma once

#include <string>

#include "cardcfg/cardlist.h"
#include "cardcfg/modules.h"
#include "cardcfg/resources.h"
#include "common/common.h"

namespace kvl {

struct ConfigModel {
  std::string install_dir;     // the installation directory
  int verbosity = 0;           // number of "v" letters in the option word
  DriverTable drivers;
  ModuleDepTable module_deps;
  CardList cards;
  ConfigSettings settings;
  ResourceTables resources;
};

}  // namespace kvl
