// Whole-catalogue checks, so that a mistake in the data stops the build
// instead of producing a database the programs cannot use.
#include "tools/catalogue/catalogue.h"

#include "hwdb/hwdb.h"

#include <cctype>
#include <functional>
#include <set>

namespace kvl {
namespace {

// Limits of the tables that read the generated files.
constexpr int MAX_DRIVERS = 200;       // driver-to-module table rows
constexpr size_t MAX_DEP_MODULES = 59; // module dependency entries
constexpr size_t MAX_DEP_NAMES = 60;   // modules one module needs
constexpr size_t MAX_MODULE_NAME = 29; // module list entries
constexpr size_t MAX_DRIVER_NAME = 15;

struct Report {
  std::string *err;
  bool ok = true;
  void operator()(const std::string &where, const std::string &what) {
    *err += where + ": " + what + "\n";
    ok = false;
  }
};

bool is_word(const std::string &s) {
  if (s.empty()) return false;
  for (unsigned char ch : s)
    if (std::isspace(ch) || !std::isprint(ch)) return false;
  return true;
}

void check_length(Report &rep, const std::string &where, const char *field, const std::string &s,
                  size_t max) {
  if (s.size() > max)
    rep(where, std::string(field) + " \"" + s + "\" is longer than " + std::to_string(max));
}

bool allowed(const CatResource &r, int v) {
  if (r.restype == RES_IO) {
    if (r.count > 0) {
      for (int x : r.values)
        if (x == v) return true;
      return false;
    }
    return r.range_step > 0 && v >= r.range_start && v <= r.range_end &&
           (v - r.range_start) % r.range_step == 0;
  }
  int top = r.restype == RES_IRQ ? 31 : 7;
  return v >= (r.restype == RES_IRQ ? 1 : 0) && v <= top && (r.mask >> v & 1);
}

void check_resource(Report &rep, const std::string &where, const CatResource &r) {
  int nmax = r.restype == RES_IO ? 1 : 2;
  if (r.num < 1 || r.num > nmax) rep(where, "num must be 1.." + std::to_string(nmax));
  if (r.values.size() > HWDB_MAX_VALUES)
    rep(where, "more than " + std::to_string(HWDB_MAX_VALUES) + " values");
  if (r.ranges.size() > HWDB_MAX_RANGES)
    rep(where, "more than " + std::to_string(HWDB_MAX_RANGES) + " extra ranges");
  if (r.restype == RES_IO) {
    if (r.size <= 0) rep(where, "size must be positive");
    if (r.count == 0 && (r.range_step <= 0 || r.range_start > r.range_end))
      rep(where, "the range needs start <= end and a positive step");
    for (const auto &x : r.ranges)
      if (x.second <= 0) rep(where, "an extra range needs a positive length");
  }
  if (!allowed(r, r.def)) rep(where, "the default is not one of the allowed values");
}

struct Context {
  const Catalogue &cat;
  std::set<std::string> drivers;
};

void check_node(Report &rep, const Context &cx, const std::string &where, const CatNode &n,
                bool top, const std::set<std::string> &card_drivers, int card_opt) {
  check_length(rep, where, "node name", n.name, sizeof(HwdbNode::name) - 1);
  if (!is_word(n.name)) rep(where, "node name must be one word");
  if (!top && !cx.drivers.count(n.name)) rep(where, "device \"" + n.name + "\" is no driver");
  if (!top && (card_opt & OPT_NO_ALLOC) && !(n.opt & OPT_NO_ALLOC))
    rep(where, "devices of a card without resource allocation need it too");
  if (n.resources.size() > HWDB_MAX_RES) rep(where, "more than 8 resources");
  if (n.devices.size() > HWDB_MAX_CHILDREN) rep(where, "more than 10 devices");
  if (top && n.devices.empty()) rep(where, "a card needs at least one device");
  if (!top && !n.devices.empty()) rep(where, "devices have no devices of their own");
  for (size_t i = 0; i < n.resources.size(); i++)
    check_resource(rep, where + " resource " + std::to_string(i), n.resources[i]);
  if (n.dnld != 0) {
    if (n.dnld != DNLD_BINARY && n.dnld != DNLD_HEX) rep(where, "unknown firmware type");
    check_length(rep, where, "firmware driver", n.dnld_name, sizeof(HwdbNode::dnld_name) - 1);
    check_length(rep, where, "firmware file", n.dnld_file, sizeof(HwdbNode::dnld_file) - 1);
    if (!cx.drivers.count(n.dnld_name)) rep(where, "firmware driver \"" + n.dnld_name + "\" is no driver");
    if (!is_word(n.dnld_file)) rep(where, "firmware file must be one word");
    // Start-up refuses hex downloads: the card is offered only with a hint
    // that tells the administrator so, in start-up's own words.
    if (n.dnld == DNLD_HEX && n.dnld_hint.find(HWDB_HEX_REFUSED) == std::string::npos)
      rep(where, std::string("hex firmware needs a download hint quoting \"") + HWDB_HEX_REFUSED +
                     "\"");
  }
  if (!n.control.empty()) {
    std::string first = n.control.substr(0, n.control.find(' '));
    if (first != "run" && !card_drivers.count(first))
      rep(where, "control text must start with \"run\" or a driver of the card");
  }
  for (size_t i = 0; i < n.devices.size(); i++)
    check_node(rep, cx, where + " device " + std::to_string(i + 1), n.devices[i], false,
               card_drivers, card_opt);
}

void each_text(const CatNode &n, const std::function<void(const std::string &)> &f) {
  for (const std::string *s : {&n.descr, &n.dnld_hint, &n.control})
    if (!s->empty()) f(*s);
  for (const CatResource &r : n.resources)
    if (!r.descr.empty()) f(r.descr);
  for (const CatNode &d : n.devices) each_text(d, f);
}

void check_modules(Report &rep, const Catalogue &cat) {
  std::map<std::string, std::set<std::string>> needs;
  std::set<std::string> modules;
  for (const CatDriver &d : cat.drivers) {
    modules.insert(d.module);
    for (const std::string &m : d.depends) {
      if (!is_word(m)) rep("driver " + d.name, "dependency \"" + m + "\" must be one word");
      check_length(rep, "driver " + d.name, "module", m, MAX_MODULE_NAME);
      needs[d.module].insert(m);
      modules.insert(m);
    }
  }
  // The reader keeps one entry per module that needs others, listing them.
  if (needs.size() > MAX_DEP_MODULES) rep("modules.dep", "more than 59 modules need others");
  for (const auto &e : needs)
    if (e.second.size() > MAX_DEP_NAMES) rep("module " + e.first, "needs more than 60 modules");
  if (modules.size() > 230) rep("modules", "more than 230 modules");
  // A module must not need itself through others.
  std::map<std::string, int> state;
  std::function<bool(const std::string &)> loops = [&](const std::string &m) {
    if (state[m] == 1) return true;
    if (state[m] == 2) return false;
    state[m] = 1;
    for (const std::string &x : needs[m])
      if (loops(x)) return true;
    state[m] = 2;
    return false;
  };
  for (const std::string &m : modules)
    if (loops(m)) {
      rep("module " + m, "its dependencies loop");
      break;
    }
}

}  // namespace

std::vector<std::string> readme_refs(const std::string &text) {
  std::vector<std::string> refs;
  for (size_t at = text.find("README."); at != std::string::npos;
       at = text.find("README.", at + 1)) {
    size_t end = at + 7;
    while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end]))) end++;
    if (end > at + 7) refs.push_back(text.substr(at, end - at));
  }
  return refs;
}

int catalogue_check(const Catalogue &cat, std::string *err) {
  Report rep{err};
  Context cx{cat, {}};
  std::set<int> keys;
  if (cat.drivers.size() > MAX_DRIVERS) rep("drivers", "more than 200 drivers");
  for (const CatDriver &d : cat.drivers) {
    std::string w = "driver " + d.name;
    if (!is_word(d.name) || !is_word(d.module)) rep(w, "name and module must be one word each");
    check_length(rep, w, "name", d.name, MAX_DRIVER_NAME);
    check_length(rep, w, "module", d.module, MAX_MODULE_NAME);
    if (!cx.drivers.insert(d.name).second) rep(w, "named twice");
    if (d.key <= 0 || !keys.insert(d.key).second) rep(w, "type key must be positive and unique");
  }
  check_modules(rep, cat);

  std::set<std::string> card_keys, texts;
  for (const CatCard &c : cat.cards) {
    std::string w = "card " + c.key;
    if (!is_word(c.key)) rep(w, "key must be one word");
    check_length(rep, w, "key", c.key, sizeof(HwdbMenu::name) - 1);
    check_length(rep, w, "title", c.title, sizeof(HwdbMenu::title) - 1);
    if (c.title.empty() || c.title.find('\n') != std::string::npos)
      rep(w, "title must be one non-empty line");
    if (!card_keys.insert(c.key).second) rep(w, "key used twice");
    std::set<std::string> card_drivers;
    for (const CatNode &d : c.node.devices) card_drivers.insert(d.name);
    check_node(rep, cx, w, c.node, true, card_drivers, c.node.opt);
    std::set<std::string> refs;
    auto note_refs = [&](const std::string &s) {
      for (const std::string &ref : readme_refs(s)) refs.insert(ref);
    };
    note_refs(c.title);
    each_text(c.node, [&](const std::string &s) {
      texts.insert(s);
      note_refs(s);
    });
    for (const std::string &ref : refs)
      if (!cat.help.count(ref)) rep(w, "no help text " + ref);
  }
  if (texts.size() > HWDB_MAX_DESCR) rep("texts", "more than 1024 different texts");
  return rep.ok ? 0 : -1;
}

}  // namespace kvl
