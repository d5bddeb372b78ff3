// The start-up back end of audcore: the entry, the driver handshake, the card
// report, and the steps that hand the saved settings, the card configuration
// and the device files to the driver.
//
// Every step works on the run record that audcore's entry owns and talks to
// the driver through its control device. A step that meets a fatal error
// prints it on standard error (the start-up log) and returns -1; the entry
// then ends with exit status 255.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cardcfg/devices_cfg.h"
#include "cardcfg/model.h"
#include "control/control.h"
#include "settings/start_steps.h"

namespace kvl {

constexpr int EXIT_FATAL = 255;  // exit status of every fatal error

// Whether the card configuration on standard input may queue commands, which
// run as root (config_input_trust).
enum class InputTrust {
  trusted,     // a pipe, or DIR/etc/devices.cfg reached only through trusted hands
  changeable,  // other users can change it, or a folder or link on the way
  elsewhere,   // a file, but not DIR/etc/devices.cfg: its way is unknown
};

// What the card configuration sets for the later steps.
struct ApplyState {
  int secure_audio = 0;          // "/SECUREAUDIO": audio files get mode 0622
  int dspx = 0;                  // "/DSPX" or > 16 audio devices: /dev/dsp16..63
  std::string pending_control;   // the last "/CONTROL" text, until cleared
  // "/CONTROL run" commands run as root: the entry sets this from where the
  // configuration comes from, and only a trusted one queues commands;
  // refusal_told makes the refusal said once.
  InputTrust input_trust = InputTrust::trusted;
  int refusal_told = 0;
  // A "Configuring" line of the log is waiting for its end (verbosity 1 or
  // more); a message of its own starts a new line first.
  bool log_line_open = false;
};

// The configurator's lock file under the installation directory: held while
// a configurator runs, so that a second one refuses to start. When it cannot
// be created (a read-only etc/) the configurator runs without it.
constexpr const char *CONFIG_LOCK = "etc/.audset.lock";

// The commands that control lines queue, run after activation.
constexpr int MAX_QUEUED_COMMANDS = 320;
constexpr size_t MAX_COMMAND_TEXT = 1023;
struct CommandQueue {
  int count = 0;
  std::string commands[MAX_QUEUED_COMMANDS];
};

// One run of audcore, in either mode: the configuration model (installation
// directory, verbosity, driver table, ...), the control device, the option
// word's mode and what start-up learns and queues on the way.
struct CoreRun {
  ConfigModel model;
  ControlDevice control;
  int configurator = 0;     // set by "c" or "T"
  int driver_list = 0;      // set by "T"
  int driver_status = 0;    // result of Get status
  int cards_added = 0;      // cards the driver accepted from the configuration
  int config_lock = -1;     // configurator mode: the held lock's descriptor
  ApplyState apply;
  CommandQueue commands;
  MixerMapFile mixer_map;   // etc/mixer.map, read once for both of its passes
};

// What both modes do first: "--help" or "--version" as the whole first
// argument (its text on standard output, then 1), PATH, option word,
// argument check, in configurator mode the lock (another configurator:
// "Another configurator is running (pid N)", -1, nothing touched), in
// start-up mode the status
// word "AUDSTART", the control device (optional in configurator mode) and the
// handshake when there is a driver. Returns 0 to go on, 1 when the run ends
// here with status 0 (--help, --version, or another driver version after its
// lines), -1 after printing a fatal error (exit status 255).
int start_entry(CoreRun &run, int argc, char **argv);

// Start-up mode after start_entry: driver names, configuration of a driver
// that has none, card report, mixer commands, routing, and "Kelvane started
// OK." with "AUDSTART_OK" when every card initialised. Returns the exit
// status (0 or 255).
int run_startup(CoreRun &run);

// Applies the option letters of word to run; "Warning: Unrecognized option
// %c\n" on standard error for each unknown letter, parsing goes on.
void parse_option_word(CoreRun &run, const char *word);

// Puts "PATH=<old PATH>:/bin:/usr/bin:/usr/local/bin:/sbin:/usr/sbin" into the
// environment (an unset PATH counts as empty). Returns 0, -1 when the
// environment cannot take it (nothing printed).
int extend_path();

// Replaces DIR/.status with word and a newline (temporary file + rename).
// On failure prints the path with the error text and "Cannot update install
// status" on standard error; nothing else happens.
void write_install_status(const std::string &dir, const char *word);

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

// Get #cards, the card report and the warnings. Sets *all_ok to 0 when a
// card failed to initialise or the driver has no card. Returns 0, or -1
// after printing.
int report_cards(CoreRun &run, int *all_ok);

// --- Card configuration (cardconfig.cpp, control_line.cpp, command_queue.cpp) ---

// Reads the card configuration text line by line and hands it to the
// driver, counting the cards added. A line with a NUL byte is refused with
// "DIR/etc/devices.cfg: line N contains a NUL byte". Returns 0, or -1 after
// printing when the driver refused a card.
int apply_card_config(CoreRun &run, std::string_view text);
// Applies the pending control line to the card named card: its mixmap/parm
// settings when the control line names this card, else queues a "run"
// control line (unless commands are not allowed: "Not running commands from
// DIR/etc/devices.cfg: it can be changed by other users", once) and clears it.
void apply_control_line(CoreRun &run, std::string_view card);
// Sends CMD_MIXMAP for "FROM,TO" channel names ("none" as TO); anything else
// sends nothing. The driver's answer is not checked.
void set_mixmap(CoreRun &run, std::string_view card, std::string_view value);
// Sends CMD_PARM with number and the low 8 bits of the decimal value (0 when
// it is no number). The driver's answer is not checked.
void set_card_parm(CoreRun &run, std::string_view card, int number, std::string_view value);
// Appends text, every "~" and "$" replaced by the installation directory, to
// the run's queue. Returns 0, or -1 after a line on standard error when the queue
// is full or the command is longer than MAX_COMMAND_TEXT (nothing queued).
int queue_command(CoreRun &run, std::string_view text);
// Runs every queued command through the shell, in queue order.
void run_command_queue(CoreRun &run);
// Whether the configuration on standard input may queue commands: a regular
// file must be DIR/etc/devices.cfg and pass commands_file_trusted (every
// folder and link on the way to it included); anything else (a pipe is the
// start tool's own) must be owned by a trusted owner and writable by nobody
// else.
InputTrust config_input_trust(const CoreRun &run);

// --- Firmware download (firmware.cpp) ---

// The "$" word of a card line: LOADBIN downloads, LOADHEX is refused, any
// other command is reported. Prints its messages; never fatal.
void run_card_command(CoreRun &run, std::string_view card, std::string_view command, std::string_view rest);
// Sends the file named by the first word of rest to card in chunks of at most
// 2048 bytes. Returns 0 when all was sent, -1 after printing otherwise.
int download_firmware(CoreRun &run, std::string_view card, std::string_view rest);

// --- Device files (devfiles.cpp) ---

// Asks the driver for KVL_SYSINFO; more than 16 audio devices set
// the run's dspx flag. A failure is printed as "KVL_SYSINFO: error".
void query_sysinfo(CoreRun &run);
// Makes sure path is a node with (the major number << 8) | minor and the
// permission bits of mode (which also holds S_IFCHR), replacing a node of
// another number. Returns 0, or -1 after printing what failed.
int mk_sp_file(CoreRun &run, int minor, const char *path, mode_t mode);
// mk_sp_file for prefix + i (printed with fmt) and minor base + 16 * i, i from
// 0 to |count| - 1; unless count < 0, then links prefix to the first name.
void make_device_series(CoreRun &run, int base_minor, const char *prefix, const char *fmt, mode_t mode,
                        int count);
// Makes every device file of the driver under /dev, with links.
void make_device_files(CoreRun &run);

}  // namespace kvl
