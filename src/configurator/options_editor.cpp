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
#include "entry/entry.h"

namespace kvl {

namespace {

constexpr int CODE_SAVE = -2;
constexpr int CODE_CANCEL = -3;
constexpr size_t VALUE_INPUT_SIZE = 16;  // room for "-2147483648"

// Reports the file's lines without "=" and gives its settings.
OptionSettings take_file(std::string_view text) {
  OptionsFile file;
  parse_options_cfg(text, &file);
  for (const SettingsProblem &p : file.problems)
    if (p.kind == SettingsError::InvalidLine)
      std::fprintf(stderr, "Invalid line in etc/options.cfg: '%s'\n", quote_text(p.text).c_str());
  return option_settings(file);
}

}  // namespace

void edit_options(Configurator &cfg) {
  std::string path = kvl_path(cfg.run.model.install_dir, OPTIONS_CFG);
  OptionSettings table;
  std::string text;
  if (read_text_file(path.c_str(), text) < 0) {
    // A missing file opens the editor with nothing set; any other error
    // returns, since saving would drop the lines that were never read.
    if (errno != ENOENT) {
      cfg.asker.notice(path + ": " + std::strerror(errno), true);
      return;
    }
  } else {
    table = take_file(text);
  }
  for (;;) {
    AskChoice c;
    c.title = "Kelvane - Config options";
    std::vector<int> shown;  // table index of each item
    for (int i = 0; i < OPTION_COUNT; i++) {
      const OptionEntry &o = OptionTable[i];
      if (o.hidden) continue;
      std::string item;
      if (table.set[i]) appendf(item, "%s=%d", o.name, table.value[i]);
      else appendf(item, "%s (not set)", o.name);
      c.items.push_back({item, static_cast<int>(shown.size())});
      shown.push_back(i);
    }
    c.buttons = {{"  Save  ", CODE_SAVE}, {"  Cancel  ", CODE_CANCEL}};
    int code = cfg.asker.choose(c).code;
    if (code == CODE_CANCEL) return;
    if (code == CODE_SAVE) {
      if (replace_file(path.c_str(), format_option_settings(table)) == 0) return;
      cfg.asker.notice(path + ": " + std::strerror(errno), true);
      continue;  // every edit kept: save again or cancel
    }
    if (code < 0 || code >= static_cast<int>(shown.size())) continue;  // Escape
    int i = shown[code];
    const char *name = OptionTable[i].name;
    std::fprintf(stderr, "Edit %d: %s\n", i, name);
    std::string input = table.set[i] ? std::to_string(table.value[i]) : "";
    std::string prompt;
    appendf(prompt, "Enter value for %s=", name);
    int value;
    if (cfg.asker.enter_text(prompt, input, VALUE_INPUT_SIZE) &&
        parse_option_value(input, &value) == 0) {
      table.value[i] = value;
      table.set[i] = true;
    }
  }
}

}  // namespace kvl
