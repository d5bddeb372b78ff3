// The start-up steps that hand the saved settings back to the driver: each
// reads its file under the installation directory dir, parses it and applies
// it. A missing file is skipped without a message; one that exists but cannot
// be read is reported as "PATH: error text" and skipped.
#pragma once

#include <string>

#include "control/control.h"
#include "settings/mixer_map.h"

namespace kvl {

// etc/options.cfg: one Set ioctl per known option; bad lines are reported on
// standard error and skipped. Called before the version check, in both modes.
void apply_options_cfg(const std::string &dir, const ControlDevice &control);

// etc/mixer.map as one run reads it: read and parsed once, by whichever pass
// comes first (which tells a file that cannot be read), and kept for the
// other.
struct MixerMapFile {
  bool read = false;            // the file was tried
  bool present = false;         // ... and read; map holds it parsed
  bool nul_lines_told = false;  // its lines with a NUL byte were reported
  MixerMap map;
};

// First pass over etc/mixer.map: its lines with a NUL byte are reported, then
// one Mixer setlevels per level entry, up to the first bad entry or refused
// request, which is reported.
void load_mixer_levels(const std::string &dir, const ControlDevice &control, MixerMapFile &file);

// Second pass over etc/mixer.map: runs each "!" command as "DIR/bin/PROGRAM
// -q ARGS > /dev/null" through the shell, in file order; a command that ends
// with a non-zero status is reported as "Command failed: COMMAND". The
// commands run as root, so none runs when the file, a folder or a link on
// the way to it can be changed by other users (commands_file_trusted):
// "Not running commands from
// PATH: it can be changed by other users", once. Lines with a NUL byte are
// reported here unless the first pass reported them.
void run_mixer_commands(const std::string &dir, MixerMapFile &file);

// etc/dspdevs.map: the /dev/dsp routing, one Set reroute per line read, each
// list printed; a bad file sends nothing.
void apply_dspdevs_map(const std::string &dir, const ControlDevice &control);

}  // namespace kvl
