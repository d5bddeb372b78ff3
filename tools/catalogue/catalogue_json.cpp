// Reading catalogue files: JSON objects into catalogue records. Numbers may be
// written as JSON numbers or as text ("0x220"); bits and kinds by name.
#include "tools/catalogue/catalogue.h"

#include "hwdb/hwdb.h"

#include <cstdlib>
#include <initializer_list>
#include <set>

namespace kvl {
namespace {

using nlohmann::json;

// Thrown inside this file only; catalogue_add_json turns it into err.
struct Bad {
  std::string what;
};

[[noreturn]] void bad(const std::string &where, const std::string &what) {
  throw Bad{where + ": " + what};
}

void only_keys(const json &j, const std::string &where, std::initializer_list<const char *> keys) {
  if (!j.is_object()) bad(where, "must be an object");
  std::set<std::string> known(keys.begin(), keys.end());
  for (auto it = j.begin(); it != j.end(); ++it)
    if (!known.count(it.key())) bad(where, "unknown field \"" + it.key() + "\"");
}

int number(const json &j, const std::string &where) {
  if (j.is_number_integer()) return j.get<int>();
  if (j.is_string()) {
    const std::string s = j.get<std::string>();
    char *end = nullptr;
    long v = std::strtol(s.c_str(), &end, 0);
    if (!s.empty() && *end == '\0' && v >= INT32_MIN && v <= INT32_MAX) return static_cast<int>(v);
  }
  bad(where, "not a number: " + j.dump());
}

std::string text(const json &j, const std::string &where) {
  if (!j.is_string()) bad(where, "must be a text");
  return j.get<std::string>();
}

struct Name {
  const char *name;
  int value;
};

// A number, a name from the table, or a list of names and numbers OR-ed.
int bits(const json &j, const std::string &where, std::initializer_list<Name> names) {
  if (j.is_array()) {
    int v = 0;
    for (const json &e : j) v |= bits(e, where, names);
    return v;
  }
  if (j.is_string())
    for (const Name &n : names)
      if (j.get<std::string>() == n.name) return n.value;
  return number(j, where);
}

const std::initializer_list<Name> OPT_NAMES = {
    {"may_disable", OPT_MAY_DISABLE}, {"pnp", OPT_PNP},
    {"no_alloc", OPT_NO_ALLOC},       {"not_manual", OPT_NOT_MANUAL},
    {"needs_mmpci", OPT_NEEDS_MMPCI}, {"needs_isa", OPT_NEEDS_ISA},
    {"needs_usb", OPT_NEEDS_USB}};
const std::initializer_list<Name> FLAG_NAMES = {{"default_first", RF_DEFAULT_FIRST},
                                                {"optional", RF_OPTIONAL},
                                                {"fixed", RF_FIXED},
                                                {"no_register", RF_NO_REGISTER}};
const std::initializer_list<Name> BUS_NAMES = {
    {"none", 0}, {"isa", 1}, {"pnp", 2}, {"pci", 3}, {"usb", 4}};
const std::initializer_list<Name> TYPE_NAMES = {{"card", 0},  {"audio", 1},     {"midi", 2},
                                                {"synth", 3}, {"mixer", 4},     {"wavetable", 5},
                                                {"control", 6}};
const std::initializer_list<Name> RESTYPE_NAMES = {{"io", RES_IO}, {"irq", RES_IRQ},
                                                   {"dma", RES_DMA}};

int channel_mask(const json &list, const std::string &where, int lo, int hi) {
  if (!list.is_array() || list.empty()) bad(where, "must be a non-empty list");
  int mask = 0;
  for (const json &e : list) {
    int v = number(e, where);
    if (v < lo || v > hi) bad(where, "value " + std::to_string(v) + " outside the allowed channels");
    mask |= 1 << v;
  }
  return mask;
}

CatResource parse_resource(const json &j, const std::string &where) {
  only_keys(j, where,
            {"type", "num", "descr", "values", "range", "size", "extra", "irqs", "dmas",
             "default", "flags"});
  CatResource r;
  if (!j.contains("type")) bad(where, "missing \"type\"");
  r.restype = bits(j["type"], where + ".type", RESTYPE_NAMES);
  if (j.contains("num")) r.num = number(j["num"], where + ".num");
  if (j.contains("descr")) r.descr = text(j["descr"], where + ".descr");
  if (j.contains("flags")) r.flags = bits(j["flags"], where + ".flags", FLAG_NAMES);
  if (r.restype == RES_IO) {
    if (j.contains("values")) {
      for (const json &v : j["values"]) r.values.push_back(number(v, where + ".values"));
      r.count = static_cast<int>(r.values.size());
    }
    if (j.contains("range")) {
      const json &g = j["range"];
      if (!g.is_array() || g.size() != 3) bad(where + ".range", "must be [start, end, step]");
      r.range_start = number(g[0], where + ".range");
      r.range_end = number(g[1], where + ".range");
      r.range_step = number(g[2], where + ".range");
    }
    if (r.values.empty() == !j.contains("range"))
      bad(where, "an I/O resource needs either \"values\" or \"range\"");
    if (!j.contains("size")) bad(where, "an I/O resource needs \"size\"");
    r.size = number(j["size"], where + ".size");
    if (j.contains("extra"))
      for (const json &e : j["extra"]) {
        if (!e.is_array() || e.size() != 2) bad(where + ".extra", "entries are [offset, length]");
        r.ranges.emplace_back(number(e[0], where + ".extra"), number(e[1], where + ".extra"));
      }
    r.def = j.contains("default") ? number(j["default"], where + ".default")
            : r.values.empty()    ? r.range_start
                                  : r.values[0];
  } else if (r.restype == RES_IRQ || r.restype == RES_DMA) {
    const char *list = r.restype == RES_IRQ ? "irqs" : "dmas";
    if (!j.contains(list)) bad(where, std::string("missing \"") + list + "\"");
    r.mask = r.restype == RES_IRQ ? channel_mask(j[list], where + ".irqs", 1, 31)
                                  : channel_mask(j[list], where + ".dmas", 0, 7);
    r.count = 1;
    r.def = j.contains("default") ? number(j["default"], where + ".default")
                                  : number(j[list][0], where);
    for (const char *k : {"values", "range", "size", "extra"})
      if (j.contains(k)) bad(where, std::string("\"") + k + "\" is for I/O resources");
  } else {
    bad(where, "unknown resource type");
  }
  return r;
}

// A device entry with its template applied: a template name, or an object
// whose "use" names the template that its other fields override.
json resolve_template(const json &j, const Catalogue &cat, const std::string &where, int depth = 0) {
  if (depth > 8) bad(where, "templates use each other in a loop");
  if (j.is_string()) {
    auto it = cat.templates.find(j.get<std::string>());
    if (it == cat.templates.end()) bad(where, "no template \"" + j.get<std::string>() + "\"");
    return resolve_template(it->second, cat, where, depth + 1);
  }
  if (!j.is_object() || !j.contains("use")) return j;
  json base = resolve_template(j["use"], cat, where, depth + 1);
  for (auto it = j.begin(); it != j.end(); ++it)
    if (it.key() != "use") base[it.key()] = it.value();
  return base;
}

void parse_node_fields(const json &j, const std::string &where, const Catalogue &cat,
                       CatNode *n);

// A device: its bus is the card's unless it says otherwise; num is its
// position in the card, counted from 1.
CatNode parse_device(const json &raw, const std::string &where, const Catalogue &cat, int pos,
                     int bus) {
  json j = resolve_template(raw, cat, where);
  only_keys(j, where,
            {"name", "bus", "type", "num", "opt", "descr", "resources", "devices", "firmware",
             "control"});
  CatNode n;
  n.num = pos;
  n.bus = bus;
  parse_node_fields(j, where, cat, &n);
  return n;
}

void parse_node_fields(const json &j, const std::string &where, const Catalogue &cat,
                       CatNode *n) {
  if (!j.contains("name")) bad(where, "missing \"name\"");
  n->name = text(j["name"], where + ".name");
  if (j.contains("bus")) n->bus = bits(j["bus"], where + ".bus", BUS_NAMES);
  if (j.contains("type")) n->type = bits(j["type"], where + ".type", TYPE_NAMES);
  if (j.contains("num")) n->num = number(j["num"], where + ".num");
  if (j.contains("opt")) n->opt = bits(j["opt"], where + ".opt", OPT_NAMES);
  if (j.contains("descr")) n->descr = text(j["descr"], where + ".descr");
  if (j.contains("control")) n->control = text(j["control"], where + ".control");
  if (j.contains("resources")) {
    int i = 0;
    for (const json &r : j["resources"])
      n->resources.push_back(parse_resource(r, where + ".resources[" + std::to_string(i++) + "]"));
  }
  if (j.contains("devices")) {
    int i = 0;
    for (const json &d : j["devices"]) {
      std::string w = where + ".devices[" + std::to_string(i) + "]";
      n->devices.push_back(parse_device(d, w, cat, ++i, n->bus));
    }
  }
  if (j.contains("firmware")) {
    const json &f = j["firmware"];
    std::string w = where + ".firmware";
    only_keys(f, w, {"type", "driver", "file", "hint"});
    for (const char *k : {"type", "driver", "file"})
      if (!f.contains(k)) bad(w, std::string("missing \"") + k + "\"");
    n->dnld = bits(f["type"], w + ".type", {{"bin", 1}, {"hex", 2}});
    n->dnld_name = text(f["driver"], w + ".driver");
    n->dnld_file = text(f["file"], w + ".file");
    if (f.contains("hint")) n->dnld_hint = text(f["hint"], w + ".hint");
  }
}

CatCard parse_card(const json &j, const std::string &where, const Catalogue &cat) {
  only_keys(j, where,
            {"key", "title", "name", "bus", "num", "opt", "descr", "resources", "devices",
             "firmware", "control"});
  CatCard c;
  if (!j.contains("key") || !j.contains("title")) bad(where, "a card needs \"key\" and \"title\"");
  c.key = text(j["key"], where + ".key");
  c.title = text(j["title"], where + ".title");
  std::string w = where + " (" + c.key + ")";
  parse_node_fields(j, w, cat, &c.node);
  return c;
}

CatDriver parse_driver(const json &j, const std::string &where) {
  only_keys(j, where, {"name", "module", "key", "description", "depends"});
  for (const char *k : {"name", "module", "key", "description"})
    if (!j.contains(k)) bad(where, std::string("missing \"") + k + "\"");
  CatDriver d;
  d.name = text(j["name"], where + ".name");
  d.module = text(j["module"], where + ".module");
  d.key = number(j["key"], where + ".key");
  d.description = text(j["description"], where + ".description");
  if (j.contains("depends"))
    for (const json &m : j["depends"]) d.depends.push_back(text(m, where + ".depends"));
  return d;
}

}  // namespace

int catalogue_add_json(const std::string &text_in, const std::string &source, Catalogue *cat,
                       std::string *err) {
  try {
    json doc = json::parse(text_in);
    only_keys(doc, source, {"comment", "templates", "drivers", "cards"});
    if (doc.contains("templates"))
      for (auto it = doc["templates"].begin(); it != doc["templates"].end(); ++it)
        cat->templates[it.key()] = it.value();
    if (doc.contains("drivers")) {
      int i = 0;
      for (const json &d : doc["drivers"])
        cat->drivers.push_back(parse_driver(d, source + ": drivers[" + std::to_string(i++) + "]"));
    }
    if (doc.contains("cards")) {
      int i = 0;
      for (const json &c : doc["cards"])
        cat->cards.push_back(parse_card(c, source + ": cards[" + std::to_string(i++) + "]", *cat));
    }
    return 0;
  } catch (const Bad &b) {
    *err = b.what;
  } catch (const json::exception &e) {
    *err = source + ": " + e.what();
  }
  return -1;
}

}  // namespace kvl
