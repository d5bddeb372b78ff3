// etc/mixer.map: default mixer levels ("NAME l1 ... l32", hexadecimal) and
// commands to run once the cards are up ("!PROGRAM ARGS...").
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "common/common.h"
#include "control/control.h"
#include "driver/driver.h"
#include "start/start.h"

namespace kvl {

namespace {

constexpr int kLevels = 32;
constexpr size_t kLevelDigits = 4;

// Reads the next whitespace-separated word of text. Returns false at the end.
bool read_word(std::string_view &text, std::string_view &word) {
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) start++;
  if (start == text.size()) {
    text = {};
    return false;
  }
  size_t end = start;
  while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) end++;
  word = text.substr(start, end - start);
  text.remove_prefix(end);
  return true;
}

// Takes the rest of the current line (its newline consumed, not kept).
std::string_view rest_of_line(std::string_view &text) {
  std::string_view rest;
  next_line(text, rest);
  return rest;
}

// One level: one to four hexadecimal digits.
bool parse_level(std::string_view word, int32_t *level) {
  int v;
  if (word.empty() || word.size() > kLevelDigits || word[0] == '-') return false;
  if (parse_number(word, 16, &v) != 0) return false;
  *level = v;
  return true;
}

int read_mixer_map(const std::string &dir, std::string &text) {
  return read_text_file(kvl_path(dir, "etc/mixer.map").c_str(), text);
}

}  // namespace

void load_mixer_levels(const std::string &dir, const ControlDevice &control) {
  std::string file;
  if (read_mixer_map(dir, file) < 0) return;
  std::string_view text = file, word;
  while (read_word(text, word)) {
    if (word[0] == '!') {
      rest_of_line(text);
      continue;
    }
    MixerLevels rec = {};
    copy_field(rec.name, word);  // a mixer name is at most 31 characters
    bool ok = true;
    std::string_view level;
    for (int i = 0; i < kLevels && ok; i++)
      ok = read_word(text, level) && parse_level(level, &rec.levels[i]);
    if (!ok) {
      std::fprintf(stderr, "Error: Invalid line in mixer.map (%.*s)\n", static_cast<int>(word.size()),
                   word.data());
      break;
    }
    if (control_send(control, MIXER_SETLEVELS, &rec) < 0) {
      print_error(request_label(MIXER_SETLEVELS));
      break;
    }
  }
}

void run_mixer_commands(const std::string &dir) {
  std::string file;
  if (read_mixer_map(dir, file) < 0) return;
  std::string_view text = file, word;
  while (read_word(text, word)) {
    if (word[0] != '!') continue;
    std::string args(rest_of_line(text));
    size_t start = args.find_first_not_of(" \t");
    args.erase(0, start == std::string::npos ? args.size() : start);
    std::string command = dir + "/bin/" + std::string(word.substr(1)) + " -q " + args + " > /dev/null";
    std::fflush(nullptr);
    if (std::system(command.c_str()) != 0)
      std::fprintf(stderr, "Command failed: %s\n", command.c_str());
  }
}

}  // namespace kvl
