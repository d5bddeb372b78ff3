// Driver options, mixer levels, system and audio device information and the
// /dev/dsp routing lists.
#include "driver/driver.h"
#include "requests.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvl {

namespace {

constexpr int32_t AFMT_U8 = 0x08;
constexpr int32_t AFMT_S16_LE = 0x10;

const char *routing_key(int mode) {
  switch (mode) {
    case 1: return "input";
    case 2: return "output";
    case 3: return "duplex";
    default: return nullptr;
  }
}

SimJson device_list(const RoutingRecord *r, int count) {
  SimJson l = SimJson::array();
  for (int i = 0; i < count; i++) l.push_back(r->devices[i]);
  return l;
}

}  // namespace

int req_set_option(SimCall &c) {
  const OptionRequest *r = static_cast<const OptionRequest *>(c.arg);
  c.entry["id"] = r->id;
  c.entry["value"] = r->value;
  c.state["options"][std::to_string(r->id)] = r->value;
  return 0;
}

// Levels are kept by mixer name; a mixer need not exist yet, since levels
// are set before the cards are started.
int req_mixer_setlevels(SimCall &c) {
  const MixerLevels *r = static_cast<const MixerLevels *>(c.arg);
  std::string name = field_text(r->name, sizeof r->name);
  SimJson levels = SimJson::array();
  for (int v : r->levels) levels.push_back(v);
  c.entry["number"] = r->number;
  c.entry["name"] = name;
  c.entry["levels"] = levels;
  c.state["mixer_levels"][name] = levels;
  return 0;
}

int req_sysinfo(SimCall &c) {
  SysInfo *r = static_cast<SysInfo *>(c.arg);
  std::memset(r, 0, sizeof *r);
  set_field_text(r->product, sizeof r->product, "Kelvane simulated driver");
  char version[32];
  unsigned v = static_cast<unsigned>(c.machine.version);
  std::snprintf(version, sizeof version, "%x.%02x.%02x", (v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff);
  set_field_text(r->version, sizeof r->version, version);
  r->versionnum = c.machine.version;
  r->numaudios = static_cast<int32_t>(c.state["audio"].size());
  r->numsynths = static_cast<int32_t>(c.state["synths"].size());
  r->nummixers = static_cast<int32_t>(c.state["mixers"].size());
  r->numcards = c.state["status"].get<int>() ? static_cast<int32_t>(c.state["cards"].size()) : 0;
  c.entry["numaudios"] = r->numaudios;
  c.entry["numsynths"] = r->numsynths;
  c.entry["nummixers"] = r->nummixers;
  c.entry["numcards"] = r->numcards;
  return 0;
}

int req_audioinfo(SimCall &c) {
  AudioInfo *r = static_cast<AudioInfo *>(c.arg);
  int dev = r->dev;
  c.entry["dev"] = dev;
  const SimJson &audio = c.state["audio"];
  if (dev < 0 || dev >= static_cast<int>(audio.size())) return -ENXIO;
  const SimJson &a = audio[dev];
  std::memset(r, 0, sizeof *r);
  r->dev = dev;
  // value() and not operator[]: a hand-edited entry may lack a key, which
  // the const operator[] must never be asked for.
  std::string name = a.value("name", std::string());
  set_field_text(r->name, sizeof r->name, name);
  r->iformats = AFMT_U8 | AFMT_S16_LE;
  r->oformats = AFMT_U8 | AFMT_S16_LE | (a.value("ac3", false) ? AFMT_AC3 : 0);
  r->max_channels = a.value("channels", 0);
  c.entry["name"] = name;
  return 0;
}

int req_get_reroute(SimCall &c) {
  RoutingRecord *r = static_cast<RoutingRecord *>(c.arg);
  c.entry["mode"] = r->mode;
  const char *key = routing_key(r->mode);
  if (!key) return -EINVAL;
  const SimJson &list = c.state["routing"][key];
  int n = static_cast<int>(list.size()) < ROUTING_MAX_DEVICES ? static_cast<int>(list.size()) : ROUTING_MAX_DEVICES;
  std::memset(r->devices, 0, sizeof r->devices);
  r->count = n;
  for (int i = 0; i < n; i++) r->devices[i] = list[i].get<uint8_t>();
  c.entry["count"] = n;
  c.entry["devices"] = device_list(r, n);
  return 0;
}

int req_set_reroute(SimCall &c) {
  const RoutingRecord *r = static_cast<const RoutingRecord *>(c.arg);
  c.entry["mode"] = r->mode;
  c.entry["count"] = r->count;
  const char *key = routing_key(r->mode);
  if (!key || r->count < 0 || r->count > ROUTING_MAX_DEVICES) return -EINVAL;
  c.entry["devices"] = device_list(r, r->count);
  c.state["routing"][key] = c.entry["devices"];
  return 0;
}

}  // namespace kvl
