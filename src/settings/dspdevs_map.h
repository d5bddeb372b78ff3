// etc/dspdevs.map: the /dev/dsp routing that the control panel saves and
// start-up gives back to the driver. Up to three lines, for the modes input
// (1), output (2) and duplex (3) in this order; each holds device numbers in
// order of preference, decimal, separated by runs of blanks. The control
// panel writes each number followed by one blank, so "3 0 1 \n".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "control/control.h"
#include "driver/driver.h"
#include "settings/problem.h"

namespace kvl {

constexpr const char *DSPDEVS_MAP = "etc/dspdevs.map";  // under the installation directory
constexpr int ROUTING_MODES = 3;
constexpr int ROUTING_DEVICE_MAX = 255;  // device numbers are 0..255

struct DspdevsMap {
  int count = 0;  // lines read: routes[k] for k below count holds mode k + 1
  RoutingRecord routes[ROUTING_MODES] = {};
  std::vector<SettingsProblem> problems;  // at most one; count is then 0
};

// Same count, problems, and modes and device lists of the routes counted.
bool operator==(const DspdevsMap &a, const DspdevsMap &b);

// Reads the text of the file into *out (replacing what it held): its first
// three lines, the rest ignored. A line that starts with a blank or holds a
// NUL byte, a word that is no number, a number outside 0..255 or a 65th
// number is a problem, and then nothing is kept (count 0): a bad file routes
// nothing.
// Returns 0, or -1 when there is a problem.
int parse_dspdevs_map(std::string_view text, DspdevsMap *out);

// Writes the counted routes, one line each, every number as "%d " and then a
// newline, into *out. Returns 0, or -1 (nothing written) when count is not
// 0..3, a route's mode is not its line's (k + 1) or it holds more than 64
// devices.
int format_dspdevs_map(const DspdevsMap &map, std::string *out);

// With a problem: "Bad info in dspdevs.map" on standard error ("etc/dspdevs.map:
// line N contains a NUL byte" for a NUL byte), nothing sent.
// Otherwise sends each counted route with Set reroute, in order, and prints
// "/dev/dsp input assignment: " (mode 1) or "/dev/dsp output assignment: "
// (modes 2 and 3), "%d " per device and a newline; a refused request prints
// "reroute: error text" and ends the sending.
void apply_routing(const DspdevsMap &map, const ControlDevice &control);

}  // namespace kvl
