// etc/mixer.map: default mixer levels ("NAME l1 ... l32", hexadecimal) and
// commands to run once the cards are up ("!PROGRAM ARGS...").
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cardcfg/cfg_text.h"
#include "common/common.h"
#include "driver/driver.h"
#include "start/start.h"
#include "start/text.h"

namespace kvl {

namespace {

constexpr int kLevels = 32;
constexpr size_t kLevelDigits = 4;

// Reads the next whitespace-separated word. Returns false at the end.
bool read_word(std::FILE *f, std::string &word) {
  word.clear();
  int c;
  while ((c = std::getc(f)) != EOF && std::isspace(c)) {
  }
  if (c == EOF) return false;
  do {
    word += static_cast<char>(c);
  } while ((c = std::getc(f)) != EOF && !std::isspace(c));
  if (c != EOF) std::ungetc(c, f);
  return true;
}

// Reads the rest of the current line (its newline consumed, not kept).
std::string rest_of_line(std::FILE *f) {
  std::string rest;
  read_line(f, rest);
  return rest;
}

// One level: one to four hexadecimal digits.
bool parse_level(const std::string &word, int32_t *level) {
  int v;
  if (word.empty() || word.size() > kLevelDigits || word[0] == '-') return false;
  if (parse_number(word, 16, &v) != 0) return false;
  *level = v;
  return true;
}

std::FILE *open_mixer_map() { return std::fopen(kvl_path("etc/mixer.map").c_str(), "r"); }

}  // namespace

void load_mixer_levels() {
  std::FILE *f = open_mixer_map();
  if (!f) return;
  std::string word;
  while (read_word(f, word)) {
    if (word[0] == '!') {
      rest_of_line(f);
      continue;
    }
    MixerLevels rec = {};
    copy_field(rec.name, word);  // a mixer name is at most 31 characters
    bool ok = true;
    std::string level;
    for (int i = 0; i < kLevels && ok; i++)
      ok = read_word(f, level) && parse_level(level, &rec.levels[i]);
    if (!ok) {
      std::fprintf(stderr, "Error: Invalid line in mixer.map (%s)\n", word.c_str());
      break;
    }
    if (driver_request(g_core.control_fd, MIXER_SETLEVELS, &rec) < 0) {
      print_error(request_label(MIXER_SETLEVELS));
      break;
    }
  }
  std::fclose(f);
}

void run_mixer_commands() {
  std::FILE *f = open_mixer_map();
  if (!f) return;
  std::string word;
  while (read_word(f, word)) {
    if (word[0] != '!') continue;
    std::string args = rest_of_line(f);
    size_t start = args.find_first_not_of(" \t");
    args.erase(0, start == std::string::npos ? args.size() : start);
    std::string command = g_core.install_dir + "/bin/" + word.substr(1) + " -q " + args + " > /dev/null";
    std::fflush(nullptr);
    if (std::system(command.c_str()) != 0)
      std::fprintf(stderr, "Command failed: %s\n", command.c_str());
  }
  std::fclose(f);
}

}  // namespace kvl
