// audcore's start-up mode: after the entry (entry/entry.h) it hands the saved
// settings, the card configuration on standard input and the device files to
// the driver, reports the cards and says whether the sound system started.
//
// Every step works on the start-up run record and talks to the driver through
// the entry's control device. A step that meets a fatal error prints it on
// standard error (the start-up log) and returns -1; start-up then ends with
// exit status 255.
#pragma once

#include "settings/start_steps.h"
#include "start/card_config.h"
#include "start/command_queue.h"

namespace kvl {

struct CoreRun;

// One start-up run: the entry's record and what start-up learns and queues
// on the way.
struct StartupRun {
  explicit StartupRun(CoreRun &entry) : core(entry) {}
  CoreRun &core;            // model, control device and driver status
  int cards_added = 0;      // cards the driver accepted from the configuration
  ApplyState apply;
  CommandQueue commands;
  MixerMapFile mixer_map;   // etc/mixer.map, read once for both of its passes
};

// Start-up mode after start_entry: driver names, configuration of a driver
// that has none, card report, mixer commands, routing, and "Kelvane started
// OK." with "AUDSTART_OK" when every card initialised. Returns the exit
// status (0 or 255).
int run_startup(CoreRun &core);

}  // namespace kvl
