#include "settings/start_steps.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/common.h"
#include "common/file_trust.h"
#include "common/text.h"
#include "settings/dspdevs_map.h"
#include "settings/mixer_map.h"
#include "settings/options_cfg.h"

namespace kvl {

namespace {

// Reads DIR/REL into text. Returns 0, or -1 when the file is missing (said
// nothing) or cannot be read ("PATH: error text").
int read_settings_file(const std::string &dir, const char *rel, std::string &text) {
  return read_install_file(dir, rel, text, true);
}

// Reads and parses mixer.map the first time a pass asks for it.
const MixerMap *mixer_map_of(const std::string &dir, MixerMapFile &file) {
  if (!file.read) {
    file.read = true;
    std::string text;
    file.present = read_settings_file(dir, MIXER_MAP, text) == 0;
    if (file.present) parse_mixer_map(text, &file.map);
  }
  return file.present ? &file.map : nullptr;
}

}  // namespace

void apply_options_cfg(const std::string &dir, const ControlDevice &control) {
  std::string text;
  if (read_settings_file(dir, OPTIONS_CFG, text) < 0) return;
  OptionsFile file;
  parse_options_cfg(text, &file);
  apply_options(file, control);
}

void load_mixer_levels(const std::string &dir, const ControlDevice &control, MixerMapFile &file) {
  const MixerMap *map = mixer_map_of(dir, file);
  if (!map) return;
  apply_mixer_levels(*map, control);
  file.nul_lines_told = true;
}

void run_mixer_commands(const std::string &dir, MixerMapFile &file) {
  const MixerMap *map = mixer_map_of(dir, file);
  if (!map) return;
  if (!file.nul_lines_told) report_nul_lines(*map);
  file.nul_lines_told = true;
  std::string path = kvl_path(dir, MIXER_MAP);
  int trusted = -1;  // checked at the first command, said once for the file
  for (const MixerEntry &e : map->entries) {
    if (e.kind != MixerEntryKind::Command) continue;
    if (trusted < 0) {
      TrustedOwners owners;
      trusted = install_owners(dir.c_str(), &owners) == 0 &&
                commands_file_trusted(path.c_str(), owners) == 1;
      if (!trusted)
        std::fprintf(stderr, "Not running commands from %s: it can be changed by other users\n",
                     path.c_str());
    }
    if (!trusted) continue;
    std::string command = dir + "/bin/" + e.name + " -q " + e.args + " > /dev/null";
    std::fflush(nullptr);
    if (std::system(command.c_str()) != 0)
      std::fprintf(stderr, "Command failed: %s\n", quote_text(command).c_str());
  }
}

void apply_dspdevs_map(const std::string &dir, const ControlDevice &control) {
  std::string text;
  if (read_settings_file(dir, DSPDEVS_MAP, text) < 0) return;
  DspdevsMap map;
  parse_dspdevs_map(text, &map);
  apply_routing(map, control);
}

}  // namespace kvl
