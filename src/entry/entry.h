// What every audcore run does first, in either mode: the option word, PATH,
// the argument check, the configurator's lock, the start-up status word, the
// control device and the driver handshake. The entry fills a CoreRun, the
// part of the run both modes share; start-up (start/startup.h) and the
// configurator (configurator/configurator.h) each keep what only they need
// in a record of their own around it.
#pragma once

#include "cardcfg/model.h"
#include "control/control.h"

namespace kvl {

constexpr int EXIT_FATAL = 255;  // exit status of every fatal error

// One run of audcore as the entry sets it up: the configuration model
// (installation directory, verbosity, driver table, ...), the control device,
// the mode the option word chose, the configurator's lock and what the
// handshake learnt.
struct CoreRun {
  ConfigModel model;
  ControlDevice control;
  int configurator = 0;     // set by "c" or "T"
  int driver_list = 0;      // set by "T"
  int config_lock = -1;     // configurator mode: the held lock's descriptor
  int driver_status = 0;    // the handshake's Get status
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

// Applies the option letters of word to run; "Warning: Unrecognized option
// %c\n" on standard error for each unknown letter, parsing goes on.
void parse_option_word(CoreRun &run, const char *word);

// Puts "PATH=<old PATH>:/bin:/usr/bin:/usr/local/bin:/sbin:/usr/sbin" into the
// environment (an unset PATH counts as empty). Returns 0, -1 when the
// environment cannot take it (nothing printed).
int extend_path();

}  // namespace kvl
