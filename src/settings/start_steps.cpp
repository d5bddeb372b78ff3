#include "settings/start_steps.h"

#include <cstdio>
#include <cstdlib>

#include "common/common.h"
#include "common/text.h"
#include "settings/dspdevs_map.h"
#include "settings/mixer_map.h"
#include "settings/options_cfg.h"

namespace kvl {

void apply_options_cfg(const std::string &dir, const ControlDevice &control) {
  std::string text;
  if (read_text_file(kvl_path(dir, OPTIONS_CFG).c_str(), text) < 0) return;
  OptionsFile file;
  parse_options_cfg(text, &file);
  apply_options(file, control);
}

void load_mixer_levels(const std::string &dir, const ControlDevice &control) {
  std::string text;
  if (read_text_file(kvl_path(dir, MIXER_MAP).c_str(), text) < 0) return;
  MixerMap map;
  parse_mixer_map(text, &map);
  apply_mixer_levels(map, control);
}

void run_mixer_commands(const std::string &dir) {
  std::string text;
  if (read_text_file(kvl_path(dir, MIXER_MAP).c_str(), text) < 0) return;
  MixerMap map;
  parse_mixer_map(text, &map);
  for (const MixerEntry &e : map.entries) {
    if (e.kind != MixerEntryKind::Command) continue;
    std::string command = dir + "/bin/" + e.name + " -q " + e.args + " > /dev/null";
    std::fflush(nullptr);
    if (std::system(command.c_str()) != 0)
      std::fprintf(stderr, "Command failed: %s\n", command.c_str());
  }
}

void apply_dspdevs_map(const std::string &dir, const ControlDevice &control) {
  std::string text;
  if (read_text_file(kvl_path(dir, DSPDEVS_MAP).c_str(), text) < 0) return;
  DspdevsMap map;
  parse_dspdevs_map(text, &map);
  apply_routing(map, control);
}

}  // namespace kvl
