// audcore's configurator mode: the card configuration edited in a main menu
// and saved to etc/devices.cfg and etc/modules.cfg, or, with "T", the
// installed drivers listed.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kvl {

struct CoreRun;
struct ConfigModel;
struct DriverTable;
struct HwdbModel;
class Asker;

// The configurator's run record, which its steps share: the entry's part of
// the run (CoreRun, entry/entry.h: model, control device, lock), the loaded
// database, the asker that answers for the user and the paths of the saved
// files.
struct Configurator {
  CoreRun &run;
  const HwdbModel &db;
  Asker &asker;
  std::string devices_path;  // DIR/etc/devices.cfg
  std::string modules_path;  // DIR/etc/modules.cfg
};

// The configurator's entry after the handshake: loads the database and the
// driver lists, then runs the menu on the text screen (or, with "T", prints
// the driver list). Returns the exit status: 0, or 255 after a fatal error
// (printed with the screen ended).
int run_configurator(CoreRun &run);

// What the configurator loads before its screen: the driver table (from the
// driver with "T", else etc/modules.lis), etc/config.dat into *db (the
// caller frees it with hwdb_model_free), etc/modules.dep, the PCI IRQs and
// the system's resource base. Returns 0, or -1 after printing why.
int load_configurator_data(CoreRun &run, HwdbModel *db);

// The interactive part, on whatever answers through cfg.asker: reads the
// saved configuration (first configuration: detection and the add dialog),
// runs the main menu and saves until the user saves or leaves. Returns 0, or
// -1 after printing "PATH: error text" when an existing devices.cfg cannot
// be read (saving over it would lose it).
int configure(Configurator &cfg);

// Writes etc/devices.cfg and etc/modules.cfg. Returns 0, or -1 after the
// waiting box "Saving failed: PATH: error text" (the edits stay).
int save_configuration(Configurator &cfg);

// The main menu until the user chooses: 1 to save, 0 to leave without
// saving (status word "AUDSET_OK" written).
int main_menu(Configurator &cfg);

// The header lines of the main menu: the seven lines of an empty list, or
// one title per configured card.
std::vector<std::string> configured_card_lines(const ConfigModel &model, const HwdbModel &db);

// Writes "NAME DESCRIPTION" per driver table row to out.
void print_driver_list(const DriverTable &drivers, std::FILE *out);

}  // namespace kvl
