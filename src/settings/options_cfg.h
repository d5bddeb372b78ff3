// etc/options.cfg: driver options, one "name=value" per line (value in
// decimal), as the configurator's options editor writes them. Start-up sends
// each known option to the driver with Set ioctl.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "control/control.h"
#include "settings/option_table.h"
#include "settings/problem.h"

namespace kvl {

constexpr const char *OPTIONS_CFG = "etc/options.cfg";  // under the installation directory
constexpr size_t OPTIONS_LINE_MAX = 255;                // a longer line is cut

// One line that names a known option.
struct OptionRow {
  int line = 0;                         // 1 for the first line of the file
  const OptionEntry *option = nullptr;  // the OptionTable row
  std::string value_text;               // the text after the first "=", as written

  bool operator==(const OptionRow &) const = default;
};

struct OptionsFile {
  std::vector<OptionRow> rows;            // file order
  std::vector<SettingsProblem> problems;  // file order: InvalidLine, UnknownOption, NulByte

  bool operator==(const OptionsFile &) const = default;
};

// All of text as a value: an optional sign ("+" or "-") and decimal digits
// within 32 bits. Returns 0 with *out set, or -1.
int parse_option_value(std::string_view text, int *out);

// The number text starts with: an optional sign and decimal digits, the
// rest ignored ("12abc" is 12); 0 when text starts with no number or the
// number does not fit in 32 bits.
int leading_number(std::string_view text);

// The value a row sends and the editor shows: leading_number of value_text.
int option_value(const OptionRow &row);

// Reads the text of the file into *out (replacing what it held). A line that
// holds a NUL byte is refused (a NulByte problem); each other line is
// cut to OPTIONS_LINE_MAX characters, then split at its first "="; the name
// must match an OptionTable row exactly. Lines without "=" and unknown names
// become problems and no row. Returns 0, or -1 when there are problems.
int parse_options_cfg(std::string_view text, OptionsFile *out);

// Writes "name=value_text\n" per row, in order, into *out; problems are not
// written. Returns 0, or -1 (nothing written) when a row has no option, a
// value text with a newline or NUL byte or ending with a carriage return, or
// a line longer than OPTIONS_LINE_MAX, since the text would not read back to
// the same rows.
int format_options_cfg(const OptionsFile &file, std::string *out);

// The options as the configurator's editor and kvlcfg change them: every
// OptionTable entry (by index), set or not, with its value.
struct OptionSettings {
  bool set[OPTION_COUNT] = {};
  int value[OPTION_COUNT] = {};
};

// The settings the file's rows give: each row sets its option to
// option_value(row); a later row of the same option wins.
OptionSettings option_settings(const OptionsFile &file);

// The text of options.cfg for settings: "NAME=VALUE\n" for each set option,
// in table order (hidden ones included).
std::string format_option_settings(const OptionSettings &settings);

// Sends each row with CTL_SET_OPTION and reports on standard error, in line
// order: "Config option 'LINE' defined" after each row (after "Set ioctl:
// error text" when the driver refused it), "Invalid line in
// etc/options.cfg: 'LINE'", "Unrecognized option name in etc/options.cfg:
// 'NAME" and "etc/options.cfg: line N contains a NUL byte" for the problems.
// Lines and names are quoted with quote_text.
void apply_options(const OptionsFile &file, const ControlDevice &control);

}  // namespace kvl
