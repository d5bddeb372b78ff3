// A problem met while reading one of the saved settings files: the line it
// stands on, what is wrong, and the text it concerns. Readers return their
// problems as values; what to print about them is up to the caller.
#pragma once

#include <string>

namespace kvl {

enum class SettingsError {
  InvalidLine,          // options.cfg: a line without "="; text: the line
  UnknownOption,        // options.cfg: a name not in OptionTable; text: the name
  BadLevels,            // mixer.map: a level missing or not 1..4 hex digits; text: the mixer name
  RoutingLeadingBlank,  // dspdevs.map: the line starts with a blank; text: the line
  RoutingNotANumber,    // dspdevs.map: a word that is no decimal number; text: the word
  RoutingTooMany,       // dspdevs.map: more than 64 numbers; text: the first word too many
  RoutingOutOfRange,    // dspdevs.map: a number outside 0..255; text: the word
  NulByte,              // any of the files: the line holds a NUL byte and is refused; no text
};

struct SettingsProblem {
  int line = 0;  // 1 for the first line of the file
  SettingsError kind = SettingsError::InvalidLine;
  std::string text;

  bool operator==(const SettingsProblem &) const = default;
};

}  // namespace kvl
