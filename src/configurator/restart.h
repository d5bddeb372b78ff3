// The main-menu items that act on the running driver: the audio self tests
// (save, restart the drivers, run kvltest, show its log) and the update
// (save, stop the drivers, run kvlupdate).
#pragma once

namespace kvl {

struct Configurator;

// "Audio self test (quick test)" (quick 1) and "(full test)" (quick 0).
void self_test_item(Configurator &cfg, int quick);

// "Download and install KVL update".
void update_item(Configurator &cfg);

}  // namespace kvl
