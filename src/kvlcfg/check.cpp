// check: every problem of the configuration that reading, the resource
// pass, a save and start-up would meet, and what the driver says about the
// cards, one line each. Nothing is written.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/file_trust.h"
#include "common/text.h"
#include "kvlcfg/kvlcfg.h"
#include "settings/dspdevs_map.h"
#include "settings/mixer_map.h"
#include "settings/options_cfg.h"

namespace kvl {

namespace {

void add(std::vector<Finding> &out, const char *file, int line, const std::string &text,
         bool note = false) {
  out.push_back({file, line, note, text, "", {}});
}

// Reads DIR/REL: 1 with the text, 0 for a missing file, -1 for one that
// cannot be read (then a problem).
int read_settings(const Session &s, const char *rel, std::string &text, std::vector<Finding> &out) {
  std::string path = kvl_path(s.model->install_dir, rel);
  if (read_text_file(path.c_str(), text) == 0) return 1;
  if (errno == ENOENT) return 0;
  add(out, rel, 0, std::strerror(errno));
  return -1;
}

// modules.cfg against what a save would write; a missing one is no problem.
void check_modules(const Session &s, std::vector<Finding> &out) {
  DeviceConfigText want;
  std::string why, have;
  if (format_device_config(*s.model, s.db, &want, &why) < 0) {
    add(out, DEVICES_CFG, 0, why);
    return;
  }
  if (read_settings(s, MODULES_CFG, have, out) != 1 || have == want.modules) return;
  std::string_view a = have, b = want.modules, la, lb;
  for (int n = 1;; n++) {
    bool ha = next_line(a, la), hb = next_line(b, lb);
    if (ha && hb && la == lb) continue;
    std::string text = "not what a save writes: ";
    if (!ha && !hb) text += "the line ends differ";
    else if (!hb) text += "'" + quote_text(la) + "', where a save writes nothing more";
    else if (!ha) text += "no line, where a save writes '" + quote_text(lb) + "'";
    else text += "'" + quote_text(la) + "', where a save writes '" + quote_text(lb) + "'";
    add(out, MODULES_CFG, n, text);
    return;
  }
}

void check_options(const Session &s, std::vector<Finding> &out) {
  std::string text;
  if (read_settings(s, OPTIONS_CFG, text, out) != 1) return;
  OptionsFile file;
  parse_options_cfg(text, &file);
  for (const SettingsProblem &p : file.problems) {
    if (p.kind == SettingsError::InvalidLine)
      add(out, OPTIONS_CFG, p.line, "Invalid line: '" + quote_text(p.text) + "'");
    else if (p.kind == SettingsError::UnknownOption)
      add(out, OPTIONS_CFG, p.line, "Unrecognized option name: '" + quote_text(p.text) + "'");
    else
      add(out, OPTIONS_CFG, p.line, "line contains a NUL byte");
  }
}

void check_mixer_map(const Session &s, std::vector<Finding> &out) {
  std::string text;
  if (read_settings(s, MIXER_MAP, text, out) != 1) return;
  MixerMap map;
  parse_mixer_map(text, &map);
  for (const SettingsProblem &p : map.problems) {
    if (p.kind == SettingsError::NulByte)
      add(out, MIXER_MAP, p.line, "line contains a NUL byte");
    else
      add(out, MIXER_MAP, p.line,
          "Invalid line in mixer.map (" + quote_text(p.text) +
              "): a level is missing or not 1 to 4 hexadecimal digits; start-up sends no "
              "levels from here on");
  }
  bool commands = false;
  for (const MixerEntry &e : map.entries) commands = commands || e.kind == MixerEntryKind::Command;
  std::string path = kvl_path(s.model->install_dir, MIXER_MAP);
  TrustedOwners owners;  // as start-up decides: the installation's owners
  if (commands && (install_owners(s.model->install_dir.c_str(), &owners) != 0 ||
                   commands_file_trusted(path.c_str(), owners) != 1))
    add(out, MIXER_MAP, 0, "its commands are not run: it can be changed by other users");
}

const char *routing_problem(const SettingsProblem &p, std::string *word) {
  *word = p.text.empty() ? "" : " ('" + quote_text(p.text) + "')";
  switch (p.kind) {
    case SettingsError::RoutingLeadingBlank: word->clear(); return "the line starts with a blank";
    case SettingsError::RoutingNotANumber: return "a word is not a number";
    case SettingsError::RoutingTooMany: return "more than 64 numbers";
    case SettingsError::RoutingOutOfRange: return "a number is outside 0..255";
    default: word->clear(); return "the line contains a NUL byte";
  }
}

// dspdevs.map: what start-up refuses, and numbers the driver does not have.
void check_dspdevs_map(const Session &s, const DriverView &view, std::vector<Finding> &out) {
  std::string text;
  if (read_settings(s, DSPDEVS_MAP, text, out) != 1) return;
  DspdevsMap map;
  parse_dspdevs_map(text, &map);
  for (const SettingsProblem &p : map.problems) {
    std::string word;
    const char *what = routing_problem(p, &word);
    add(out, DSPDEVS_MAP, p.line,
        std::string("Bad info in dspdevs.map: ") + what + word + "; start-up sends no routing");
  }
  if (!view.open || view.status != 1) return;
  for (int k = 0; k < map.count; k++)
    for (int i = 0; i < map.routes[k].count; i++) {
      int dev = map.routes[k].devices[i];
      if (dev < view.audio_count) continue;
      std::string has = view.audio_count == 0 ? "the driver has no audio device"
                                              : "the driver's audio devices are 0.." +
                                                    std::to_string(view.audio_count - 1);
      add(out, DSPDEVS_MAP, k + 1, "audio device " + std::to_string(dev) + ": " + has);
    }
}

std::string device_of(const Session &s, const ExpectedCard &e) {
  std::string label = card_label(s, e.card);
  if (e.device >= 0)
    if (const HwdbNode *n = hwdb_node(s.db, s.model->cards.cards[e.card].devices[e.device].node))
      label += ", device " + std::string(field_text(n->name));
  return label;
}

// The cards the driver did not initialise (problems), and where the driver
// and the configuration differ (notes: the drivers started from another one).
void check_driver(const Session &s, const DriverView &view, std::vector<Finding> &out) {
  if (!view.open || view.status != 1) return;
  for (const ExpectedCard &e : view.expected) {
    int line = config_line(s, e.card, e.device);
    std::string who = device_of(s, e);
    if (e.found < 0) {
      add(out, DEVICES_CFG, line, who + " is not in the driver: it was started with another configuration", true);
    } else if (!view.cards[e.found].initialized) {
      std::string text = who + " did not initialise";
      if (e.pnp_bus) text += " (the plug-and-play bus card failed)";
      else appendf(text, " (driver %s, port %x)", e.driver.c_str(), view.cards[e.found].port);
      add(out, DEVICES_CFG, line, text);
    }
  }
  for (const DriverCard &d : view.cards)
    if (d.claimed < 0) {
      std::string text;
      appendf(text, "the driver runs a %s card at port %x that the configuration does not have",
              d.driver.c_str(), d.port);
      add(out, DEVICES_CFG, 0, text, true);
    }
}

int file_rank(const std::string &file) {
  const char *order[] = {DEVICES_CFG, MODULES_CFG, OPTIONS_CFG, MIXER_MAP, DSPDEVS_MAP};
  for (int i = 0; i < 5; i++)
    if (file == order[i]) return i;
  return 5;
}

}  // namespace

int cmd_check(Session &s) {
  int rc = open_installation(s);
  if (rc == 0) rc = read_configuration(s);
  if (rc) return rc;
  std::vector<Finding> all;
  if (s.config_missing) {
    add(all, DEVICES_CFG, 0, "No such file or directory: no configuration yet");
  } else {
    rebuild_and_check_all(*s.model, s.db, *s.asker);
    all = devices_findings(s);
    for (Finding &f : disabled_notes(s)) all.push_back(f);
    check_modules(s, all);
  }
  check_options(s, all);
  check_mixer_map(s, all);
  DriverView view;
  if (read_driver_view(s, &view) < 0) add(all, "/dev/mixer0", 0, "the driver did not answer (see above)");
  check_dspdevs_map(s, view, all);
  check_driver(s, view, all);
  std::stable_sort(all.begin(), all.end(), [](const Finding &a, const Finding &b) {
    int ra = file_rank(a.file), rb = file_rank(b.file);
    return ra != rb ? ra < rb : a.line < b.line;
  });
  print_findings(all, false);
  std::vector<Finding> problems, notes;
  for (const Finding &f : all) (f.note ? notes : problems).push_back(f);
  s.out["problems"] = findings_json(problems);
  s.out["notes"] = findings_json(notes);
  s.out["ok"] = problems.empty();
  return problems.empty() ? KVLCFG_OK : KVLCFG_PROBLEMS;
}

}  // namespace kvl
