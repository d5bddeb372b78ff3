// The main-menu items that act on the running driver: the audio self tests
// (save, restart the drivers, run kvltest, show its log) and the update
// (save, stop the drivers, run kvlupdate).
#pragma once

namespace kvl {

struct Configurator;

// "Audio self test (quick test)" (quick 1) and "(full test)" (quick 0).
// Saves the configuration (a failed save ends it with nothing stopped), then
// closes the control device for the rest of the run, runs audstop, audstart
// and kvltest; each failure is shown in a waiting box and ends it.
void self_test_item(Configurator &cfg, int quick);

// "Download and install KVL update". Saves, closes the control device, runs
// audstop, ends the screen and executes bin/kvlupdate. Returns only when a
// step fails; when kvlupdate cannot be executed, the screen and the drivers
// are started again first.
void update_item(Configurator &cfg);

}  // namespace kvl
