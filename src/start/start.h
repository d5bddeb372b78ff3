// The start-up back end of audcore: the entry, the driver handshake, the card
// report, and the steps that hand the saved settings, the card configuration
// and the device files to the driver.
//
// Every step works on kvl::g_core and kvl::g_drivers (common/common.h) and
// talks to the driver through g_core.control_fd. A step that meets a fatal
// error prints it and returns -1; the entry then ends with exit status 255.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "control/control.h"
#include "settings/start_steps.h"

namespace kvl {

constexpr int EXIT_FATAL = 255;  // exit status of every fatal error

// audcore's whole run: option word, argument check, status words, handshake,
// configuration and card report. Returns the exit status (0 or 255); the
// configurator ends the process itself.
int start_main(int argc, char **argv);

// Issues a driver request on g_core.control_fd. Returns the driver's result
// (0 or more), or -1 after printing "label: error text" with the request's
// label.
int control_request(uint32_t code, void *record);

// Applies the option letters of word to g_core; "Warning: Unrecognized option
// %c\n" on standard error for each unknown letter, parsing goes on.
void parse_option_word(const char *word);

// Puts "PATH=<old PATH>:/bin:/usr/bin:/usr/local/bin:/sbin:/usr/sbin" into the
// environment (an unset PATH counts as empty). Returns 0, -1 when the
// environment cannot take it (nothing printed).
int extend_path();

// Replaces DIR/.status with word and a newline (temporary file + rename).
// On failure prints the path with the error text and "Cannot update install
// status" on standard error; nothing else happens.
void write_install_status(const char *word);

// Opens /dev/mixer0 read-write into g_core.control_fd and learns the major
// number. In configurator mode a failing open sets g_core.no_driver and
// returns 0. Returns -1 after printing a fatal error.
int open_control_device();

// Step 6 of start-up: options, version check, status, driver counts and type
// keys. Returns 0, 1 after printing the three version-mismatch lines, -1
// after printing a failed request.
int driver_handshake();

// Step 8: Get drivers and the name table. Returns 0, or -1 after printing.
int load_driver_names();

// Takes the Get drivers text into g_drivers.names (split at each newline;
// the count is newlines + 1, at most MAX_DRIVER_NAMES), prints the count and
// the names by verbosity and lowers the slot count to the count. Returns the
// count.
int take_driver_names(std::string_view text);

// Steps 10 to 12: Get #cards, the card report and the warnings. Sets *all_ok
// to 0 when a card failed to initialise. Returns 0, or -1 after printing.
int report_cards(int *all_ok);

// The interactive configurator's entry (option "c" or "T"). Normally ends the
// process itself.
void run_configurator(const std::string &dir);

// --- Card configuration (cardconfig.cpp, control_line.cpp, command_queue.cpp) ---

// What the card configuration sets for the later steps.
struct ApplyState {
  int secure_audio = 0;          // "/SECUREAUDIO": audio files get mode 0622
  int dspx = 0;                  // "/DSPX" or > 16 audio devices: /dev/dsp16..63
  std::string pending_control;   // the last "/CONTROL" text, until cleared
};
extern ApplyState g_apply;

// The commands that control lines queue, run after activation.
constexpr int MAX_QUEUED_COMMANDS = 320;
constexpr size_t MAX_COMMAND_TEXT = 1023;
struct CommandQueue {
  int count = 0;
  std::string commands[MAX_QUEUED_COMMANDS];
};
extern CommandQueue g_commands;

// Reads the card configuration text line by line and hands it to the
// driver, counting g_core.cards_added. Returns 0, or -1 after printing when
// the driver refused a card.
int apply_card_config(std::string_view text);
// Applies g_apply.pending_control to the card named card: its mixmap/parm
// settings when the control line names this card, else queues a "run"
// control line and clears it.
void apply_control_line(std::string_view card);
// Sends CMD_MIXMAP for "FROM,TO" channel names ("none" as TO); anything else
// sends nothing. The driver's answer is not checked.
void set_mixmap(std::string_view card, std::string_view value);
// Sends CMD_PARM with number and the low 8 bits of the decimal value (0 when
// it is no number). The driver's answer is not checked.
void set_card_parm(std::string_view card, int number, std::string_view value);
// Appends text, every "~" and "$" replaced by the installation directory, to
// g_commands. Returns 0, or -1 after a line on standard error when the queue
// is full or the command is longer than MAX_COMMAND_TEXT (nothing queued).
int queue_command(std::string_view text);
// Runs every queued command through the shell, in queue order.
void run_command_queue();

// --- Firmware download (firmware.cpp) ---

// The "$" word of a card line: LOADBIN downloads, LOADHEX is refused, any
// other command is reported. Prints its messages; never fatal.
void run_card_command(std::string_view card, std::string_view command, std::string_view rest);
// Sends the file named by the first word of rest to card in chunks of at most
// 2048 bytes. Returns 0 when all was sent, -1 after printing otherwise.
int download_firmware(std::string_view card, std::string_view rest);

// --- Device files (devfiles.cpp) ---

// Asks the driver for KVL_SYSINFO; more than 16 audio devices set
// g_apply.dspx. A failure is printed as "KVL_SYSINFO: error".
void query_sysinfo();
// Makes sure path is a node with (g_core.major << 8) | minor and the
// permission bits of mode (which also holds S_IFCHR), replacing a node of
// another number. Returns 0, or -1 after printing what failed.
int mk_sp_file(int minor, const char *path, mode_t mode);
// mk_sp_file for prefix + i (printed with fmt) and minor base + 16 * i, i from
// 0 to |count| - 1; unless count < 0, then links prefix to the first name.
void make_device_series(int base_minor, const char *prefix, const char *fmt, mode_t mode,
                        int count);
// Makes every device file of the driver under /dev, with links.
void make_device_files();

}  // namespace kvl
