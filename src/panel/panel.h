// The control panel audpanel: its state, the driver check, the /dev/dsp
// routing it reads, reorders and saves, and its menu.
//
// The logic functions (reading /etc/kvl.conf, the driver check, the routing
// requests and the save) print nothing and never exit: they return 0/-1 and
// their message lines, and audpanel's entry decides where the lines go. The
// control menu and the reorder dialog ask the user only through an Asker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/asker.h"
#include "control/control.h"
#include "driver/driver.h"

namespace kvl {

constexpr const char *KVL_CONF = "/etc/kvl.conf";
constexpr const char *DEFAULT_INSTALL_DIR = "/usr/lib/kvl";
// The page where users report a device the driver does not support; also in
// the man page audpanel(8).
constexpr const char *PROBLEM_REPORT_URL = "https://www.kelvane.org/support/problem-report";

// The modes of the routing lists, in the order of the records.
constexpr int ROUTE_INPUT = 0, ROUTE_OUTPUT = 1, ROUTE_DUPLEX = 2;
constexpr int ROUTE_COUNT = 3;

// One routing list: its mode in the driver's requests, its word in the
// save's messages, and the control menu's item that reorders it.
struct RouteMode {
  int mode;               // 1 input, 2 output, 3 duplex
  const char *name;       // "input", "output", "duplex"
  int menu_code;
  const char *menu_text;
};
// Indexed by ROUTE_INPUT, ROUTE_OUTPUT, ROUTE_DUPLEX.
extern const RouteMode ROUTE_MODES[ROUTE_COUNT];

// Everything one run of audpanel holds.
struct PanelState {
  std::string install_dir = DEFAULT_INSTALL_DIR;  // every path below is formed from it
  ControlDevice control;                          // /dev/mixer0, read-write
  int audio_count = 0;                            // audio devices of KVL_SYSINFO
  RoutingRecord routes[ROUTE_COUNT] = {};         // input, output, duplex; reordered in memory
  RoutingRecord routes_at_start[ROUTE_COUNT] = {};  // as the driver gave them at start
  std::vector<std::string> after_screen;          // standard-error lines printed once the screen ends
  int save_wait_ms = 5000;  // how long a save waits for another panel's save to end
};

// audpanel's --help text.
extern const char PANEL_USAGE[];

// The option words: '-' is skipped, 'v' accepted; every other letter appends
// "Warning: Unrecognized option %c\n" to warnings. No option changes anything.
void panel_option_warnings(int argc, char **argv, std::string *warnings);

// The explanation printed after a failed open of /dev/mixer0 (lines ending in
// newlines), or nullptr for an error number without one.
const char *open_error_explanation(int err);

// Takes the installation directory from the text of /etc/kvl.conf, as every
// reader of the file does (common/kvl_conf.h: the first KVLLIBDIR= line with
// an absolute value of at most 255 bytes and no control character). Returns
// 0, or -1 when no line names one (*dir untouched).
int parse_kvl_conf(std::string_view text, std::string *dir);

// Reads /etc/kvl.conf through the OS seam into st.install_dir. Returns 0, or
// -1 with the line to print in *error ("/etc/kvl.conf: error text" or
// "Error: KVLLIBDIR not set in /etc/kvl.conf").
int load_install_dir(PanelState &st, std::string *error);

// A driver count of a routing list taken as 0..64, so it never reaches past
// the record's device slots.
void clamp_routing_count(RoutingRecord &rec);

// Reads the three routing lists with Get reroute (modes 1, 2, 3) into routes
// and routes_at_start. Returns 0, or -1 with "Get reroute: error text".
int load_routing(PanelState &st, std::string *error);

// The driver check: KVL_SYSINFO (audio device count at offset 196), one
// SNDCTL_AUDIOINFO per audio device, then load_routing. Returns 0, or -1 with
// the lines to print in *error (joined by newlines, no final newline).
int check_driver(PanelState &st, std::string *error);

// One line of the reorder dialog: "/dev/dsp%d: %s" with the device's name and
// " (MULTICH)" (more than 2 channels) then " (AC3)"; the name "unknown" and no
// markers without information (info nullptr).
std::string device_line(int dev, const AudioInfo *info);

// The working list of the reorder dialog and the highlighted position.
struct ReorderList {
  int count = 0;
  uint8_t devices[ROUTING_MAX_DEVICES] = {};
  int position = 0;
};
ReorderList reorder_list_from(const RoutingRecord &rec);
// Moves the device at i one place up (down) and the position with it; at the
// top (bottom) or outside the list nothing moves and the position stays.
void reorder_move_up(ReorderList &list, int i);
void reorder_move_down(ReorderList &list, int i);

// What a save did, for the dialogs and the lines after the screen.
struct SaveOutcome {
  std::vector<std::string> boxes;  // waiting message boxes, in order
  std::vector<std::string> after_screen;  // standard-error lines for after the screen ends
  std::string written;             // the text of etc/dspdevs.map as written
};

// The lock a save holds, under the installation directory: one panel saves
// at a time, so the driver's lists and etc/dspdevs.map always come from the
// same save.
constexpr const char *PANEL_SAVE_LOCK = "etc/.audpanel.lock";

// Saves the routing under PANEL_SAVE_LOCK, waiting up to save_wait_ms for
// another panel's save (still held: one box "Another control panel is
// saving (pid N)", nothing sent, -1; a lock file that cannot be made, as in
// a read-only etc/, is no lock). Then it checks that etc/ can take etc/dspdevs.map (if not:
// one box, "PATH: error text" and "Saving config failed" for after the
// screen, nothing sent, -1); then Set reroute for modes 1, 2, 3 (a refusal
// gives a box and the line of that mode holds the list the driver still uses:
// Get reroute again, else the list read at start); then the file is replaced
// atomically with the shared dspdevs.map format. Returns 0 once the requests
// were sent (whatever they and the write gave), -1 when nothing was sent.
int save_routing(PanelState &st, SaveOutcome *out);

// --- The questions ---

// What the control menu works with: the run's state, the asker that answers
// for the user, and the self test that the menu's item runs with the
// installation directory (audpanel's shows the toolkit's self-test window).
struct Panel {
  PanelState &st;
  Asker &asker;
  void (*self_test)(const std::string &install_dir);
};

// The reorder dialog on one routing list: the notice "No devices to reorder"
// for an empty list; else each round reads every device's information
// (SNDCTL_AUDIOINFO) and asks, until " OK " writes the new order into rec or
// " Cancel " leaves it unchanged.
void reorder_devices(const ControlDevice &control, Asker &asker, RoutingRecord &rec);
// The control menu until an exit choice: 1 after saving, 0 after discarding.
// Every return to the menu starts at its first item; Escape stays.
int control_menu(Panel &p);

}  // namespace kvl
