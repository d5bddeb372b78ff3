// The start-up steps that hand the saved settings back to the driver: each
// reads its file under the installation directory dir, parses it and applies
// it. A missing file is skipped without a message; one that exists but cannot
// be read is reported as "PATH: error text" and skipped.
#pragma once

#include <string>

#include "control/control.h"

namespace kvl {

// etc/options.cfg: one Set ioctl per known option; bad lines are reported on
// standard error and skipped. Called before the version check, in both modes.
void apply_options_cfg(const std::string &dir, const ControlDevice &control);

// First pass over etc/mixer.map: one Mixer setlevels per level entry, up to
// the first bad entry or refused request, which is reported.
void load_mixer_levels(const std::string &dir, const ControlDevice &control);

// Second pass over etc/mixer.map: runs each "!" command as "DIR/bin/PROGRAM
// -q ARGS > /dev/null" through the shell, in file order; a command that ends
// with a non-zero status is reported as "Command failed: COMMAND". The
// commands run as root, so none runs when the file or its folder can be
// changed by other users (commands_file_trusted): "Not running commands from
// PATH: it can be changed by other users", once. An unreadable file and
// lines with a NUL byte are reported only with report_read_problems, so that
// a run whose first pass told them does not tell them twice.
void run_mixer_commands(const std::string &dir, bool report_read_problems = true);

// etc/dspdevs.map: the /dev/dsp routing, one Set reroute per line read, each
// list printed; a bad file sends nothing.
void apply_dspdevs_map(const std::string &dir, const ControlDevice &control);

}  // namespace kvl
