#include "settings/mixer_map.h"

#include <cctype>
#include <cstdio>

#include "common/common.h"
#include "common/text.h"
#include "driver/driver.h"

namespace kvl {

using namespace std::string_literals;

namespace {

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// A position in the text with the number of the line it stands on.
struct Cursor {
  std::string_view text;
  size_t pos = 0;
  int line = 1;
};

// Reads the next whitespace-separated word and the line it starts on.
// Returns false at the end of the text.
bool next_word(Cursor &c, std::string_view &word, int *line) {
  while (c.pos < c.text.size() && is_space(c.text[c.pos])) {
    if (c.text[c.pos] == '\n') c.line++;
    c.pos++;
  }
  if (c.pos == c.text.size()) return false;
  size_t end = c.pos;
  while (end < c.text.size() && !is_space(c.text[end])) end++;
  word = c.text.substr(c.pos, end - c.pos);
  *line = c.line;
  c.pos = end;
  return true;
}

// Takes the rest of the current line; its newline is passed, not kept.
std::string_view rest_of_line(Cursor &c) {
  std::string_view rest = c.text.substr(c.pos);
  size_t nl = rest.find('\n');
  if (nl == std::string_view::npos) {
    c.pos = c.text.size();
    return rest;
  }
  c.pos += nl + 1;
  c.line++;
  return rest.substr(0, nl);
}

// One level: one to four hexadecimal digits.
bool parse_level(std::string_view word, int32_t *level) {
  int v;
  if (word.empty() || word.size() > MIXER_LEVEL_DIGITS) return false;
  if (parse_number(word, 16, &v) != 0) return false;
  *level = v;
  return true;
}

bool has_space(std::string_view s) {
  for (char ch : s)
    if (is_space(ch)) return true;
  return false;
}

}  // namespace

int parse_mixer_map(std::string_view text, MixerMap *out) {
  *out = {};
  // The words are read from the lines the line reader accepts: without their
  // carriage returns, and a line with a NUL byte left empty (so the line
  // numbers stay those of the file).
  std::string clean;
  std::string_view rest = text, piece;
  int n = 0;
  for (int rc; (rc = next_config_line(rest, piece, &n)) != 0;) {
    if (rc < 0) out->problems.push_back({n, SettingsError::NulByte, ""});
    else clean += piece;
    clean += '\n';
  }
  Cursor c{clean};
  std::string_view word;
  int line;
  bool levels_ended = false;
  while (next_word(c, word, &line)) {
    if (word[0] == '!') {
      MixerEntry e;
      e.line = line;
      e.kind = MixerEntryKind::Command;
      e.name = word.substr(1);
      std::string_view args = rest_of_line(c);
      size_t start = args.find_first_not_of(" \t");
      e.args = start == std::string_view::npos ? "" : std::string(args.substr(start));
      out->entries.push_back(std::move(e));
      continue;
    }
    if (levels_ended) continue;
    MixerEntry e;
    e.line = line;
    e.name = word;
    bool ok = true;
    for (int i = 0; i < MIXER_LEVEL_COUNT && ok; i++) {
      Cursor before = c;
      std::string_view level;
      int level_line;
      ok = next_word(c, level, &level_line) && parse_level(level, &e.levels[i]);
      if (!ok) c = before;  // the failing word may start a command entry
    }
    if (!ok) {
      out->problems.push_back({line, SettingsError::BadLevels, e.name});
      levels_ended = true;
      continue;
    }
    out->entries.push_back(std::move(e));
  }
  return out->problems.empty() ? 0 : -1;
}

int format_mixer_map(const MixerMap &map, std::string *out) {
  std::string text;
  for (const MixerEntry &e : map.entries) {
    if (has_space(e.name) || e.name.find('\0') != std::string::npos) return -1;
    if (e.kind == MixerEntryKind::Command) {
      // A newline or NUL byte would break the line, a carriage return at its
      // end would be read as part of the line end.
      if (e.args.find_first_of("\n"s + '\0') != std::string::npos) return -1;
      if (!e.args.empty() && e.args.back() == '\r') return -1;
      if (!e.args.empty() && (e.args[0] == ' ' || e.args[0] == '\t')) return -1;
      text += "!" + e.name + (e.args.empty() ? "" : " " + e.args) + "\n";
      continue;
    }
    if (e.name.empty() || e.name[0] == '!') return -1;
    text += e.name;
    for (int32_t level : e.levels) {
      if (level < 0 || level > MIXER_LEVEL_MAX) return -1;
      appendf(text, " %04x", static_cast<unsigned>(level));
    }
    text += "\n";
  }
  *out = std::move(text);
  return 0;
}

void report_nul_lines(const MixerMap &map) {
  for (const SettingsProblem &p : map.problems)
    if (p.kind == SettingsError::NulByte)
      std::fprintf(stderr, "%s\n", nul_line_message(MIXER_MAP, p.line).c_str());
}

void apply_mixer_levels(const MixerMap &map, const ControlDevice &control) {
  report_nul_lines(map);
  for (const MixerEntry &e : map.entries) {
    if (e.kind != MixerEntryKind::Levels) continue;
    MixerLevels rec = {};
    copy_field(rec.name, e.name);  // a mixer name is at most 31 characters
    for (int i = 0; i < MIXER_LEVEL_COUNT; i++) rec.levels[i] = e.levels[i];
    if (control_send(control, MIXER_SETLEVELS, &rec) < 0) {
      print_error(request_label(MIXER_SETLEVELS));
      return;
    }
  }
  for (const SettingsProblem &p : map.problems)
    if (p.kind == SettingsError::BadLevels)
      std::fprintf(stderr, "Error: Invalid line in mixer.map (%s)\n", quote_text(p.text).c_str());
}

}  // namespace kvl
