// The driver handshake of every audcore run and the driver table learnt from
// the driver: the names and type keys of its card-level drivers.
#pragma once

#include <string_view>

#include "common/common.h"
#include "control/control.h"

namespace kvl {

struct CoreRun;

// The handshake: options, version check, status, driver counts and type
// keys. Returns 0, 1 after printing the three version-mismatch lines, -1
// after printing a failed request.
int driver_handshake(CoreRun &run);

// Get drivers and the name table. Returns 0, or -1 after printing.
int load_driver_names(CoreRun &run);

// Takes the Get drivers text into the driver table's names (split at each
// newline; the count is newlines + 1, at most MAX_DRIVER_NAMES), prints the
// count and the names by verbosity and lowers the slot count to the count.
// Returns the count.
int take_driver_names(CoreRun &run, std::string_view text);

// The same for the Get drivers long text, whose lines are "NAME:DESCRIPTION":
// names and descriptions into the driver table, verbosity 6 printing "KEY:
// NAME (DESCRIPTION)". Past the table's 200 rows the first 200 stay and one
// line on standard error says so.
int take_driver_descriptions(CoreRun &run, std::string_view text);

// Get drivers long into the driver table. Returns 0, or -1 after printing
// "Get drivers long: error text".
int load_driver_descriptions(CoreRun &run);

// The driver's table as start-up learns it, for reading what the driver
// reports about its cards: Get #drivers, Get driver types and Get drivers
// into drivers (slot count, keys, names), without the handshake's options
// and prints. Returns 0, or -1 after printing a failed request.
int load_driver_table(const ControlDevice &control, DriverTable &drivers);

}  // namespace kvl
