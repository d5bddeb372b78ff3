// Saved driver settings: etc/options.cfg, etc/mixer.map and etc/dspdevs.map.
#include "start/start.h"

namespace kvl {

// Lands with the saved-settings issue; until then there is nothing to apply.
void apply_options_cfg() {}

// Lands with the saved-settings issue.
void load_mixer_levels() {}

// Lands with the saved-settings issue.
void run_mixer_commands() {}

// Lands with the saved-settings issue.
void apply_dspdevs_map() {}

}  // namespace kvl
