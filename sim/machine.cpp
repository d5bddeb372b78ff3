#include "machine.h"

#include "errnames.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kvl {

namespace {

using json = nlohmann::json;

// A machine that breaks a rule; caught in machine_parse.
struct BadMachine {
  std::string what;
};

[[noreturn]] void bad(const std::string &where, const std::string &what) {
  throw BadMachine{where + ": " + what};
}

// A number, or a text such as "0x220" (hexadecimal) or "5".
int to_int(const json &v, const std::string &where) {
  if (v.is_number_integer()) {
    long long n = v.get<long long>();
    if (n < -0x80000000LL || n > 0xffffffffLL) bad(where, "number out of range");
    return static_cast<int>(n);
  }
  if (v.is_string()) {
    const std::string s = v.get<std::string>();
    char *end = nullptr;
    errno = 0;
    long long n = std::strtoll(s.c_str(), &end, 0);
    if (s.empty() || *end != '\0' || errno || n < -0x80000000LL || n > 0xffffffffLL)
      bad(where, "expected a number, got \"" + s + "\"");
    return static_cast<int>(n);
  }
  bad(where, "expected a number");
}

int get_int(const json &o, const char *key, int def, const std::string &where) {
  if (!o.contains(key) || o[key].is_null()) return def;
  return to_int(o[key], where + "." + key);
}

std::string get_text(const json &o, const char *key, const std::string &where, bool required) {
  if (!o.contains(key) || o[key].is_null()) {
    if (required) bad(where, std::string("missing \"") + key + "\"");
    return "";
  }
  if (!o[key].is_string()) bad(where + "." + key, "expected a text");
  return o[key].get<std::string>();
}

const json &get_list(const json &o, const char *key, const std::string &where, size_t limit) {
  static const json empty = json::array();
  if (!o.contains(key) || o[key].is_null()) return empty;
  if (!o[key].is_array()) bad(where + key, "expected a list");
  if (o[key].size() > limit) bad(where + key, "more than " + std::to_string(limit) + " entries");
  return o[key];
}

void need_object(const json &v, const std::string &where) {
  if (!v.is_object()) bad(where, "expected an object");
}

// Calls take(entry, "key[i]") for each object of the top-level list key.
template <typename Take>
void for_each_object(const json &o, const char *key, size_t limit, Take take) {
  const json &list = get_list(o, key, "", limit);
  for (size_t i = 0; i < list.size(); i++) {
    std::string where = std::string(key) + "[" + std::to_string(i) + "]";
    need_object(list[i], where);
    take(list[i], where);
  }
}

std::vector<std::string> text_list(const json &o, const char *key, const std::string &where) {
  std::vector<std::string> out;
  const json &l = get_list(o, key, where + ".", SIM_MAX_DEVICES);
  for (size_t i = 0; i < l.size(); i++) {
    if (!l[i].is_string()) bad(where + "." + key + "[" + std::to_string(i) + "]", "expected a text");
    out.push_back(l[i].get<std::string>());
  }
  return out;
}

SimDevices parse_devices(const json &o, const std::string &where) {
  SimDevices d;
  const json &audio = get_list(o, "audio", where + ".", SIM_MAX_DEVICES);
  for (size_t i = 0; i < audio.size(); i++) {
    std::string w = where + ".audio[" + std::to_string(i) + "]";
    SimAudio a;
    if (audio[i].is_string()) {
      a.name = audio[i].get<std::string>();
    } else {
      need_object(audio[i], w);
      a.name = get_text(audio[i], "name", w, true);
      a.channels = get_int(audio[i], "channels", 2, w);
      if (audio[i].contains("ac3")) {
        if (!audio[i]["ac3"].is_boolean()) bad(w + ".ac3", "expected true or false");
        a.ac3 = audio[i]["ac3"].get<bool>();
      }
    }
    d.audio.push_back(a);
  }
  d.mixers = text_list(o, "mixers", where);
  d.synths = text_list(o, "synths", where);
  return d;
}

std::vector<unsigned char> parse_bytes(const std::string &text, const std::string &where) {
  std::vector<unsigned char> out;
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    char *end = nullptr;
    unsigned long v = std::strtoul(word.c_str(), &end, 16);
    if (*end != '\0' || word.size() > 4 || v > 0xff) bad(where, "bad hexadecimal byte \"" + word + "\"");
    out.push_back(static_cast<unsigned char>(v));
  }
  if (out.size() > SIM_MAX_PNP_BYTES) bad(where, "too many resource bytes");
  return out;
}

SimFault parse_fault(const json &f, const std::string &where) {
  need_object(f, where);
  SimFault out;
  out.request = get_text(f, "request", where, false);
  out.open = get_text(f, "open", where, false);
  if (out.request.empty() == out.open.empty()) bad(where, "needs either \"request\" or \"open\"");
  // The fault store keeps a fault on one line.
  if ((out.request + out.open).find('\n') != std::string::npos)
    bad(where + (out.request.empty() ? ".open" : ".request"), "holds a line break");
  std::string e = get_text(f, "errno", where, true);
  out.err = errno_value(e.c_str());
  if (!out.err) bad(where + ".errno", "unknown errno name \"" + e + "\"");
  out.nth = get_int(f, "nth", 0, where);
  if (out.nth < 0) bad(where + ".nth", "must be 0 or more");
  return out;
}

void parse_machine(const json &j, Machine &m) {
  need_object(j, "machine");
  m.version = get_int(j, "version", 0x039999, "version");
  m.major = get_int(j, "major", 14, "major");
  if (m.major < 1 || m.major > 255) bad("major", "must be 1..255");
  for_each_object(j, "drivers", SIM_MAX_DRIVERS, [&](const json &e, const std::string &w) {
    SimDriver d;
    d.name = get_text(e, "name", w, true);
    d.key = get_int(e, "key", 0, w);
    if (d.key == 0) bad(w, "needs a type key other than 0");
    d.description = get_text(e, "description", w, false);
    m.drivers.push_back(d);
  });
  m.driver_slots = get_int(j, "driver_slots", static_cast<int>(m.drivers.size()), "driver_slots");
  if (m.driver_slots < 0) bad("driver_slots", "must be 0 or more");

  for_each_object(j, "isa", SIM_MAX_CARDS, [&](const json &e, const std::string &w) {
    SimIsaCard c;
    c.card = get_text(e, "card", w, true);
    c.driver = get_text(e, "driver", w, true);
    c.port = get_int(e, "port", 0, w);
    c.irq = get_int(e, "irq", 0, w);
    c.dma = get_int(e, "dma", -1, w);
    c.dma2 = get_int(e, "dma2", -1, w);
    c.has_reply = e.contains("reply") && !e["reply"].is_null();
    c.reply = get_text(e, "reply", w, false);
    c.devices = parse_devices(e, w);
    m.isa.push_back(c);
  });
  for_each_object(j, "pnp", SIM_MAX_CARDS, [&](const json &e, const std::string &w) {
    SimPnpCard c;
    c.id = get_text(e, "id", w, true);
    if (c.id.size() != 7) bad(w + ".id", "must be seven characters");
    c.name = get_text(e, "name", w, false);
    c.irq = get_int(e, "irq", 0, w);
    c.resources = parse_bytes(get_text(e, "resources", w, false), w + ".resources");
    c.devices = parse_devices(e, w);
    m.pnp.push_back(c);
  });
  for_each_object(j, "pci", SIM_MAX_CARDS, [&](const json &e, const std::string &w) {
    SimPciCard c;
    c.name = get_text(e, "name", w, true);
    if (c.name.size() > 63) bad(w + ".name", "longer than 63 characters");
    c.driver = get_text(e, "driver", w, true);
    c.irq = get_int(e, "irq", 0, w);
    c.devices = parse_devices(e, w);
    m.pci.push_back(c);
  });
  if (j.contains("firmware") && !j["firmware"].is_null()) {
    need_object(j["firmware"], "firmware");
    for (auto it = j["firmware"].begin(); it != j["firmware"].end(); ++it) {
      int size = to_int(it.value(), "firmware." + it.key());
      if (size <= 0) bad("firmware." + it.key(), "image size must be above 0");
      m.firmware[it.key()] = size;
    }
  }
  m.synths = text_list(j, "synths", "machine");
  const json &faults = get_list(j, "faults", "", SIM_MAX_FAULTS);
  for (size_t i = 0; i < faults.size(); i++)
    m.faults.push_back(parse_fault(faults[i], "faults[" + std::to_string(i) + "]"));
}

}  // namespace

int machine_parse(const std::string &text, Machine &m, std::string &err) {
  m = Machine{};
  try {
    parse_machine(json::parse(text), m);
  } catch (const BadMachine &b) {
    err = b.what;
    return -1;
  } catch (const json::exception &e) {
    err = e.what();
    return -1;
  }
  return 0;
}

namespace {

// The last machine read by this process, with the file's identity: a program
// sends many requests, and machine.json only changes when it is replaced.
struct MachineCache {
  std::string path;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  struct timespec mtime = {};
  Machine machine;
};

bool same_file(const MachineCache &c, const std::string &path, const struct stat &st) {
  return c.path == path && c.dev == st.st_dev && c.ino == st.st_ino && c.size == st.st_size &&
         c.mtime.tv_sec == st.st_mtim.tv_sec && c.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

}  // namespace

const Machine *machine_cached(const std::string &root, std::string &err) {
  static MachineCache cache;
  std::string path = root + "/machine.json";
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && same_file(cache, path, st)) return &cache.machine;
  std::ifstream f(path, std::ios::binary);
  if (!f || stat(path.c_str(), &st) != 0) {
    err = path + ": cannot be read";
    return nullptr;
  }
  std::stringstream ss;
  ss << f.rdbuf();
  Machine m;
  if (machine_parse(ss.str(), m, err) < 0) {
    err = path + ": " + err;
    return nullptr;
  }
  cache.path = path;
  cache.dev = st.st_dev;
  cache.ino = st.st_ino;
  cache.size = st.st_size;
  cache.mtime = st.st_mtim;
  cache.machine = std::move(m);
  return &cache.machine;
}

int machine_load(const std::string &root, Machine &m, std::string &err) {
  const Machine *cached = machine_cached(root, err);
  if (!cached) return -1;
  m = *cached;
  return 0;
}

int machine_driver_by_key(const Machine &m, int key) {
  for (size_t i = 0; i < m.drivers.size(); i++)
    if (m.drivers[i].key == key) return static_cast<int>(i);
  return -1;
}

int machine_driver_by_name(const Machine &m, const std::string &name) {
  for (size_t i = 0; i < m.drivers.size(); i++)
    if (m.drivers[i].name == name) return static_cast<int>(i);
  return -1;
}

int pnp_id_number(const std::string &text) {
  if (text.size() != 7) return 0;
  unsigned v = (unsigned(text[0] - 64) & 0x1f) << 26 | (unsigned(text[1] - 64) & 0x1f) << 21 |
               (unsigned(text[2] - 64) & 0x1f) << 16;
  v |= static_cast<unsigned>(std::strtoul(text.substr(3).c_str(), nullptr, 16) & 0xffff);
  return static_cast<int>(v);
}

std::string pnp_id_text(int id) {
  unsigned v = static_cast<unsigned>(id);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%c%c%c%04X", static_cast<char>(((v >> 26) & 0x1f) + 64),
                static_cast<char>(((v >> 21) & 0x1f) + 64), static_cast<char>(((v >> 16) & 0x1f) + 64),
                v & 0xffff);
  return buf;
}

}  // namespace kvl
