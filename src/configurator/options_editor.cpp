// The options editor: etc/options.cfg as a list of the options the driver
// knows, each with its value or "(not set)".
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cardcfg/model.h"
#include "common/atomic_file.h"
#include "common/common.h"
#include "common/text.h"
#include "configurator/configurator.h"
#include "configurator/screens.h"
#include "settings/options_cfg.h"
#include "start/start.h"

namespace kvl {

namespace {

constexpr int CODE_SAVE = -2;
constexpr int CODE_CANCEL = -3;
constexpr size_t VALUE_INPUT_SIZE = 16;  // room for "-2147483648"

struct OptionEdit {
  const OptionEntry *option;
  int value = 0;
  bool set = false;
};

// Fills the table from the file's text; lines without "=" are reported.
void take_file(std::vector<OptionEdit> &table, std::string_view text) {
  OptionsFile file;
  parse_options_cfg(text, &file);
  for (const SettingsProblem &p : file.problems)
    if (p.kind == SettingsError::InvalidLine)
      std::fprintf(stderr, "Invalid line in etc/options.cfg: '%s'\n", quote_text(p.text).c_str());
  for (const OptionRow &row : file.rows)
    for (OptionEdit &e : table)
      if (e.option == row.option) {
        e.value = option_value(row);
        e.set = true;
      }
}

std::string file_text(const std::vector<OptionEdit> &table) {
  std::string out;
  for (const OptionEdit &e : table)
    if (e.set) appendf(out, "%s=%d\n", e.option->name, e.value);
  return out;
}

}  // namespace

void edit_options(Configurator &cfg) {
  std::string path = kvl_path(cfg.run.model.install_dir, OPTIONS_CFG);
  std::vector<OptionEdit> table;
  for (const OptionEntry &o : OptionTable) table.push_back({&o});
  std::string text;
  if (read_text_file(path.c_str(), text) < 0) {
    // A missing file opens the editor with nothing set; any other error
    // returns, since saving would drop the lines that were never read.
    if (errno != ENOENT) {
      cfg.asker.notice(path + ": " + std::strerror(errno), true);
      return;
    }
  } else {
    take_file(table, text);
  }
  for (;;) {
    AskChoice c;
    c.title = "Kelvane - Config options";
    std::vector<int> shown;  // table index of each item
    for (size_t i = 0; i < table.size(); i++) {
      const OptionEdit &e = table[i];
      if (e.option->hidden) continue;
      std::string item;
      if (e.set) appendf(item, "%s=%d", e.option->name, e.value);
      else appendf(item, "%s (not set)", e.option->name);
      c.items.push_back({item, static_cast<int>(shown.size())});
      shown.push_back(static_cast<int>(i));
    }
    c.buttons = {{"  Save  ", CODE_SAVE}, {"  Cancel  ", CODE_CANCEL}};
    int code = cfg.asker.choose(c).code;
    if (code == CODE_CANCEL) return;
    if (code == CODE_SAVE) {
      if (replace_file(path.c_str(), file_text(table)) == 0) return;
      cfg.asker.notice(path + ": " + std::strerror(errno), true);
      continue;  // every edit kept: save again or cancel
    }
    if (code < 0 || code >= static_cast<int>(shown.size())) continue;  // Escape
    OptionEdit &e = table[shown[code]];
    std::fprintf(stderr, "Edit %d: %s\n", shown[code], e.option->name);
    std::string input = e.set ? std::to_string(e.value) : "";
    std::string prompt;
    appendf(prompt, "Enter value for %s=", e.option->name);
    int value;
    if (cfg.asker.enter_text(prompt, input, VALUE_INPUT_SIZE) &&
        parse_option_value(input, &value) == 0) {
      e.value = value;
      e.set = true;
    }
  }
}

}  // namespace kvl
