// status: what the driver holds now against the configuration, for a
// person or a monitoring check (exit 0 only when every configured card is up).
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "common/common.h"
#include "common/text.h"
#include "driver/driver.h"
#include "kvlcfg/kvlcfg.h"
#include "settings/dspdevs_map.h"
#include "settings/options_cfg.h"
#include "sys/sys.h"

namespace kvl {

namespace {

struct Out {
  std::string text;
  nlohmann::json json;
};

std::string mode_text(unsigned mode) {
  std::string out;
  appendf(out, "%04o", mode & 07777);
  return out;
}

// One device file: its mode, or what is wrong with it.
void device_file(const Session &s, const std::string &path, unsigned want, Out &o) {
  struct stat st;
  nlohmann::json j = {{"path", path}, {"mode", nullptr}};
  std::string line = "   " + path + " ";
  if (sys_stat(path.c_str(), &st) != 0) {
    j["state"] = "missing";
    line += "missing";
  } else if (!S_ISCHR(st.st_mode) || static_cast<int>(st.st_rdev >> 8) != s.control.major) {
    j["state"] = "not the driver's";
    line += "is not a device of the driver";
  } else {
    unsigned mode = st.st_mode & 07777;
    j["mode"] = mode_text(mode);
    j["state"] = mode == want ? "ok" : "mode differs";
    line += mode_text(mode);
    if (mode != want) line += " (start-up gives " + mode_text(want) + ")";
  }
  o.text += line + "\n";
  o.json.push_back(j);
}

nlohmann::json device_files(const Session &s, const DriverView &v, std::string *text) {
  Out o{"Device files:\n", nlohmann::json::array()};
  unsigned audio = s.model->settings.secure_audio == 1 ? 0622 : 0666;
  int mixers = v.mixer_count > 0 ? v.mixer_count : 1;
  for (int i = 0; i < mixers; i++) device_file(s, "/dev/mixer" + std::to_string(i), 0666, o);
  for (int i = 0; i < v.audio_count; i++) {
    std::string n = std::to_string(i);
    device_file(s, "/dev/dsp" + n, audio, o);
    if (i >= NAMED_AUDIO_DEVICES) continue;
    device_file(s, "/dev/audio" + n, audio, o);
    device_file(s, "/dev/dspW" + n, audio, o);
  }
  device_file(s, "/dev/sequencer", 0666, o);
  device_file(s, "/dev/music", 0666, o);
  *text += o.text;
  return o.json;
}

std::string numbers(const RoutingRecord &r) {
  std::string out;
  for (int i = 0; i < r.count; i++) appendf(out, "%s%d", i ? " " : "", r.devices[i]);
  return r.count > 0 ? out : "none";
}

nlohmann::json list_json(const RoutingRecord &r) {
  nlohmann::json a = nlohmann::json::array();
  for (int i = 0; i < r.count; i++) a.push_back(r.devices[i]);
  return a;
}

// The routing in effect against etc/dspdevs.map.
nlohmann::json routing(const Session &s, std::string *text) {
  const char *names[ROUTING_MODES] = {"input", "output", "duplex"};
  std::string file_text;
  DspdevsMap map;
  bool have_file = read_text_file(kvl_path(s.model->install_dir, DSPDEVS_MAP).c_str(), file_text) == 0;
  bool file_ok = have_file && parse_dspdevs_map(file_text, &map) == 0;
  nlohmann::json out = nlohmann::json::object();
  *text += "Routing of /dev/dsp:\n";
  for (int k = 0; k < ROUTING_MODES; k++) {
    RoutingRecord r = {};
    r.mode = k + 1;
    nlohmann::json j;
    std::string line = std::string("   ") + names[k] + ": ";
    if (control_request(s.control, CTL_GET_REROUTE, &r) < 0) {
      j["driver"] = nullptr;
      line += "not known";
    } else {
      if (r.count < 0) r.count = 0;
      if (r.count > ROUTING_MAX_DEVICES) r.count = ROUTING_MAX_DEVICES;
      j["driver"] = list_json(r);
      line += numbers(r);
    }
    j["file"] = nullptr;
    if (!have_file) {
      line += " (no " + std::string(DSPDEVS_MAP) + ")";
    } else if (!file_ok) {
      line += " (" + std::string(DSPDEVS_MAP) + " is not valid: start-up sends none)";
    } else if (k >= map.count) {
      line += " (not in " + std::string(DSPDEVS_MAP) + ")";
    } else {
      j["file"] = list_json(map.routes[k]);
      bool same = j["file"] == j["driver"];
      line += same ? " (as " + std::string(DSPDEVS_MAP) + ")"
                   : " (" + std::string(DSPDEVS_MAP) + " says " + numbers(map.routes[k]) + ")";
    }
    *text += line + "\n";
    out[names[k]] = j;
  }
  return out;
}

// The options start-up sends, as etc/options.cfg gives them.
nlohmann::json options(const Session &s, std::string *text) {
  nlohmann::json out = nlohmann::json::array();
  std::string file;
  *text += "Options (" + std::string(OPTIONS_CFG) + "):\n";
  if (read_text_file(kvl_path(s.model->install_dir, OPTIONS_CFG).c_str(), file) < 0) {
    *text += "   none\n";
    return out;
  }
  OptionsFile parsed;
  parse_options_cfg(file, &parsed);
  for (const OptionRow &row : parsed.rows) {
    appendf(*text, "   %s=%d\n", row.option->name, option_value(row));
    out.push_back({{"name", row.option->name}, {"value", option_value(row)}});
  }
  if (parsed.rows.empty()) *text += "   none\n";
  return out;
}

}  // namespace

int cmd_status(Session &s) {
  int rc = open_installation(s);
  if (rc == 0) rc = read_configuration(s);
  if (rc) return rc;
  DriverView view;
  if (read_driver_view(s, &view) < 0) return usage_refusal(s, "the driver did not answer");
  std::string text;
  bool active = view.open && view.status == 1;
  std::string driver = !view.open ? "not loaded" : active ? "loaded, cards active" : "loaded, no cards configured yet";
  text += "Driver: " + driver + "\n";
  s.out["driver"] = {{"loaded", view.open}, {"active", active}};
  std::string word;
  if (read_text_file(kvl_path(s.model->install_dir, ".status").c_str(), word) < 0) word.clear();
  while (!word.empty() && (word.back() == '\n' || word.back() == '\r')) word.pop_back();
  text += "Status word: " + (word.empty() ? std::string("none") : word) + "\n";
  s.out["status_word"] = word.empty() ? nlohmann::json() : nlohmann::json(word);

  bool all_up = active;
  nlohmann::json cards = nlohmann::json::array();
  for (int c = 0; c < s.model->cards.count; c++) {
    const ConfiguredCard &card = s.model->cards.cards[c];
    std::string state = card_state(view, c);
    if (state != "up" && state != "off") all_up = false;
    std::string key(field_text(card.name));
    appendf(text, "Card %d %s: %s: %s\n", c + 1, key.c_str(), card_title(s.db, card).c_str(),
            state.c_str());
    cards.push_back({{"position", c + 1}, {"key", key}, {"state", state}});
  }
  s.out["cards"] = cards;
  nlohmann::json others = nlohmann::json::array();
  for (const DriverCard &d : view.cards)
    if (d.claimed < 0) {
      appendf(text, "Driver card %s at port %x: not in the configuration%s\n", d.driver.c_str(),
              d.port, d.initialized ? "" : " (failed)");
      others.push_back({{"driver", d.driver}, {"port", d.port}, {"initialized", d.initialized}});
    }
  s.out["other_driver_cards"] = others;
  if (view.open) {
    s.out["device_files"] = device_files(s, view, &text);
    s.out["routing"] = routing(s, &text);
  }
  s.out["options"] = options(s, &text);
  s.out["ok"] = all_up;
  if (!s.opt.json) std::fputs(text.c_str(), stdout);
  return all_up ? KVLCFG_OK : KVLCFG_PROBLEMS;
}

}  // namespace kvl
