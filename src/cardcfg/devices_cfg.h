// etc/devices.cfg and etc/modules.cfg: the configurator's reader and writer
// of the card configuration.
#pragma once

#include "cardcfg/cardlist.h"

#include <string>
#include <string_view>

namespace kvl {

// Reads devices.cfg text into the card list and settings and clears the
// first-configuration flag. Unknown cards are reported on standard error and
// skipped; numbers that do not parse leave their field unchanged.
void parse_devices_cfg(std::string_view text);

// Reads the devices.cfg at path, then rebuilds the resource tables. A file
// that cannot be opened prints "No earlier configuration detected" on
// standard error and changes nothing.
void read_devices_cfg(const char *path);

// Builds the texts of devices.cfg and modules.cfg from the model (the
// module list and the devices-disabled flag are rebuilt on the way).
// Returns 0, or -1 after printing why on standard error: an unknown download
// type in the database, or more modules than modules.cfg may hold.
int format_device_config(std::string &devices, std::string &modules);

// Saves the model: devices.cfg, then modules.cfg, each replaced atomically.
// A failure prints its reason (the file's path and the error text) on
// standard error and ends the process with status 255; a file not yet
// replaced keeps its old content. Warns the user when a device was written OFF.
void write_device_config(const char *devices_path, const char *modules_path);

// Appends the device lines of a card (and its "#NEEDS_" lines) and adds the
// module of every device to the module list.
void write_device_lines(std::string &out, const ConfiguredCard &card);

}  // namespace kvl
