// The start-up back end of audcore: the entry, the driver handshake, the card
// report, and the steps that hand the saved settings, the card configuration
// and the device files to the driver.
//
// Every step works on kvl::g_core and kvl::g_drivers (common/common.h) and
// talks to the driver through g_core.control_fd. A step that meets a fatal
// error prints it and returns -1; the entry then ends with exit status 255.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

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

// --- Steps whose bodies live with the saved settings (settings.cpp) ---

// Hands etc/options.cfg to the driver.
void apply_options_cfg();
// First pass over etc/mixer.map: default mixer levels.
void load_mixer_levels();
// Second pass over etc/mixer.map: runs its "!" commands.
void run_mixer_commands();
// Gives etc/dspdevs.map to the driver as the /dev/dsp routing.
void apply_dspdevs_map();

// --- Card configuration (cardconfig.cpp) ---

// Reads the card configuration from in to its end and hands it to the
// driver, counting g_core.cards_added. Returns 0, or -1 after printing when
// the driver refused a card.
int apply_card_config(std::FILE *in);
// Runs every queued command through the shell, in queue order.
void run_command_queue();

// --- Device files (devfiles.cpp) ---

// Asks the driver for its system information before the files are made.
void query_sysinfo();
// Makes every device file of the driver under /dev.
void make_device_files();

}  // namespace kvl
