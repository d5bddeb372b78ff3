// etc/mixer.map: whitespace-separated entries. A level entry is a mixer name
// (not starting with "!") and 32 levels of one to four hexadecimal digits,
// which start-up sends with Mixer setlevels before the card configuration; a
// command entry is a word "!PROGRAM" and its arguments up to the end of the
// line, run from DIR/bin once the cards are up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/control.h"
#include "driver/driver.h"
#include "settings/problem.h"

namespace kvl {

constexpr const char *MIXER_MAP = "etc/mixer.map";  // under the installation directory
constexpr size_t MIXER_LEVEL_DIGITS = 4;
constexpr int MIXER_LEVEL_MAX = 0xffff;

enum class MixerEntryKind { Levels, Command };

struct MixerEntry {
  int line = 0;  // line of the entry's first word, 1 for the first
  MixerEntryKind kind = MixerEntryKind::Levels;
  std::string name;  // Levels: the mixer name (cut to 31 characters when sent);
                     // Command: the program, without the "!"
  int32_t levels[MIXER_LEVEL_COUNT] = {};  // Levels only
  std::string args;  // Command only: the rest of the line, leading blanks and tabs removed

  bool operator==(const MixerEntry &) const = default;
};

struct MixerMap {
  std::vector<MixerEntry> entries;        // file order
  std::vector<SettingsProblem> problems;  // NulByte in line order, then at most one BadLevels

  bool operator==(const MixerMap &) const = default;
};

// Reads the text of the file into *out (replacing what it held). A line that
// holds a NUL byte is refused as a whole (a NulByte problem) and read as an
// empty line; a carriage return before a newline is white space. The first
// level entry with a missing or bad level is a problem (at its name's line)
// and ends the level entries: from the word that failed on, only command
// entries are taken, other words are passed over. Returns 0, or -1 when
// there is a problem.
int parse_mixer_map(std::string_view text, MixerMap *out);

// Writes one entry per line into *out: "NAME" and the levels as " %04x", or
// "!PROGRAM ARGS"; problems are not written. Returns 0, or -1 (nothing
// written) when an entry would not read back the same: an empty name or one
// with white space or a NUL byte, a level name starting with "!", a level
// outside 0..MIXER_LEVEL_MAX, arguments with a newline or NUL byte, starting
// with a blank or tab or ending with a carriage return.
int format_mixer_map(const MixerMap &map, std::string *out);

// Prints "etc/mixer.map: line N contains a NUL byte" for each NulByte problem.
void report_nul_lines(const MixerMap &map);

// report_nul_lines, then sends each level entry with MIXER_SETLEVELS
// (number 0), in order. A refused
// request prints "Mixer setlevels: error text" on standard error and ends the
// sending; otherwise a BadLevels problem is then reported as "Error: Invalid
// line in mixer.map (NAME)". Command entries are not run here.
void apply_mixer_levels(const MixerMap &map, const ControlDevice &control);

}  // namespace kvl
