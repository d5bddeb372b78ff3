// option NAME[=[VALUE]]: one driver option of etc/options.cfg shown, set or
// unset, through the format the options editor saves.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/common.h"
#include "common/text.h"
#include "kvlcfg/kvlcfg.h"
#include "settings/options_cfg.h"

namespace kvl {

namespace {

const char *problem_text(SettingsError kind) {
  switch (kind) {
    case SettingsError::InvalidLine: return "Invalid line";
    case SettingsError::UnknownOption: return "Unrecognized option name";
    default: return "line contains a NUL byte";
  }
}

}  // namespace

int cmd_option(Session &s) {
  const std::string &arg = s.opt.args[0];
  size_t eq = arg.find('=');
  std::string name = arg.substr(0, eq);
  const OptionEntry *entry = find_option(name);
  if (!entry) return usage_refusal(s, "Unrecognized option name: '" + quote_text(name) + "'");
  int index = static_cast<int>(entry - OptionTable);
  bool change = eq != std::string::npos;
  std::string value_text = change ? arg.substr(eq + 1) : "";
  int value = 0;
  if (!value_text.empty() && parse_option_value(value_text, &value) < 0)
    return usage_refusal(s, "'" + quote_text(value_text) + "' is not a number (an optional sign and digits, 32 bits)");

  int rc = locate_installation(s);
  if (rc == 0 && change) rc = take_config_lock(s);
  if (rc) return rc;
  std::string path = kvl_path(s.model->install_dir, OPTIONS_CFG);
  std::string text;
  OptionsFile file;
  if (read_text_file(path.c_str(), text) < 0) {
    if (errno != ENOENT) return usage_refusal(s, path + ": " + std::strerror(errno));
  } else {
    parse_options_cfg(text, &file);
  }
  OptionSettings settings = option_settings(file);
  if (!change) {
    bool set = settings.set[index];
    s.out["option"] = name;
    s.out["set"] = set;
    s.out["value"] = set ? nlohmann::json(settings.value[index]) : nlohmann::json();
    if (!s.opt.json) {
      if (set) std::printf("%s=%d\n", name.c_str(), settings.value[index]);
      else std::printf("%s (not set)\n", name.c_str());
    }
    return KVLCFG_OK;
  }
  // Lines start-up refuses cannot be written back: the save drops them, as
  // the options editor's does, and says so.
  for (const SettingsProblem &p : file.problems) {
    std::string what = p.text.empty() ? "" : ": '" + quote_text(p.text) + "'";
    std::fprintf(stderr, "%s:%d: note: %s%s: dropped\n", OPTIONS_CFG, p.line, problem_text(p.kind),
                 what.c_str());
  }
  settings.set[index] = !value_text.empty();
  settings.value[index] = value;
  return finish_file_change(s, OPTIONS_CFG, format_option_settings(settings));
}

}  // namespace kvl
