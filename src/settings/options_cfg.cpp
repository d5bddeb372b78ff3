#include "settings/options_cfg.h"

#include <cstdio>

#include "common/common.h"
#include "common/text.h"
#include "driver/driver.h"

namespace kvl {

int parse_option_value(std::string_view text, int *out) {
  // parse_number takes a "-" sign but not a "+".
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '-') return -1;
  }
  return parse_number(text, 10, out);
}

int leading_number(std::string_view text) {
  size_t end = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') end++;
  int value;
  return parse_option_value(text.substr(0, end), &value) == 0 ? value : 0;
}

int option_value(const OptionRow &row) { return leading_number(row.value_text); }

int parse_options_cfg(std::string_view text, OptionsFile *out) {
  *out = {};
  int n = 0;
  std::string_view rest = text, piece;
  for (int rc; (rc = next_config_line(rest, piece, &n)) != 0;) {
    if (rc < 0) {
      out->problems.push_back({n, SettingsError::NulByte, ""});
      continue;
    }
    std::string_view line = piece.substr(0, OPTIONS_LINE_MAX);
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      out->problems.push_back({n, SettingsError::InvalidLine, std::string(line)});
      continue;
    }
    std::string_view name = line.substr(0, eq);
    const OptionEntry *e = find_option(name);
    if (!e) {
      out->problems.push_back({n, SettingsError::UnknownOption, std::string(name)});
      continue;
    }
    out->rows.push_back({n, e, std::string(line.substr(eq + 1))});
  }
  return out->problems.empty() ? 0 : -1;
}

int format_options_cfg(const OptionsFile &file, std::string *out) {
  std::string text;
  for (const OptionRow &row : file.rows) {
    if (!row.option) return -1;
    const std::string &v = row.value_text;
    if (v.find('\n') != std::string::npos || v.find('\0') != std::string::npos) return -1;
    if (!v.empty() && v.back() == '\r') return -1;  // it would read as part of the line end
    std::string line = std::string(row.option->name) + "=" + row.value_text;
    if (line.size() > OPTIONS_LINE_MAX) return -1;
    text += line + "\n";
  }
  *out = std::move(text);
  return 0;
}

OptionSettings option_settings(const OptionsFile &file) {
  OptionSettings s;
  for (const OptionRow &row : file.rows) {
    if (!row.option) continue;
    int i = static_cast<int>(row.option - OptionTable);
    if (i < 0 || i >= OPTION_COUNT) continue;
    s.set[i] = true;
    s.value[i] = option_value(row);
  }
  return s;
}

std::string format_option_settings(const OptionSettings &settings) {
  std::string out;
  for (int i = 0; i < OPTION_COUNT; i++)
    if (settings.set[i]) appendf(out, "%s=%d\n", OptionTable[i].name, settings.value[i]);
  return out;
}

namespace {

void report(const SettingsProblem &p) {
  if (p.kind == SettingsError::InvalidLine)
    std::fprintf(stderr, "Invalid line in etc/options.cfg: '%s'\n", quote_text(p.text).c_str());
  else if (p.kind == SettingsError::UnknownOption)
    std::fprintf(stderr, "Unrecognized option name in etc/options.cfg: '%s\n", quote_text(p.text).c_str());
  else if (p.kind == SettingsError::NulByte)
    std::fprintf(stderr, "%s\n", nul_line_message(OPTIONS_CFG, p.line).c_str());
}

void send(const OptionRow &row, const ControlDevice &control) {
  if (!row.option) return;
  OptionRequest req = {row.option->id, option_value(row)};
  if (control_send(control, CTL_SET_OPTION, &req) < 0) print_error(request_label(CTL_SET_OPTION));
  std::string line = std::string(row.option->name) + "=" + row.value_text;
  std::fprintf(stderr, "Config option '%s' defined\n", quote_text(line).c_str());
}

}  // namespace

void apply_options(const OptionsFile &file, const ControlDevice &control) {
  // Rows and problems each run in line order; merged, the messages come out
  // in the order of the file.
  size_t r = 0, p = 0;
  while (r < file.rows.size() || p < file.problems.size()) {
    if (p < file.problems.size() &&
        (r == file.rows.size() || file.problems[p].line < file.rows[r].line))
      report(file.problems[p++]);
    else
      send(file.rows[r++], control);
  }
}

}  // namespace kvl
