// Laying out the catalogue as the decompressed database, and the driver and
// module lists generated beside it.
#include "tools/catalogue/catalogue.h"

#include "hwdb/hwdb.h"

#include <algorithm>
#include <cstring>

namespace kvl {
namespace {

void put_text(char *field, size_t size, const std::string &s) {
  std::memset(field, 0, size);
  std::memcpy(field, s.data(), std::min(s.size(), size - 1));
}

struct Builder {
  std::vector<HwdbMenu> menus;
  std::vector<HwdbNode> nodes;
  std::map<std::string, int> text_index;
  std::vector<uint32_t> offsets;
  std::string strings;

  // The descr index of a text, -1 for none; equal texts share one entry.
  int text(const std::string &s) {
    if (s.empty()) return -1;
    auto it = text_index.find(s);
    if (it != text_index.end()) return it->second;
    int i = static_cast<int>(offsets.size());
    offsets.push_back(static_cast<uint32_t>(strings.size()));
    strings += s;
    strings += '\0';
    text_index[s] = i;
    return i;
  }

  int node(const CatNode &c) {
    int at = static_cast<int>(nodes.size());
    nodes.emplace_back();
    HwdbNode n;
    std::memset(&n, 0, sizeof n);
    put_text(n.name, sizeof n.name, c.name);
    n.bus = c.bus;
    n.type = c.type;
    n.descr = text(c.descr);
    n.num = c.num;
    n.opt = c.opt;
    n.nres = static_cast<int32_t>(c.resources.size());
    for (size_t i = 0; i < c.resources.size(); i++) resource(c.resources[i], &n.resources[i]);
    n.dnld = c.dnld;
    n.dnld_hint = text(c.dnld_hint);
    put_text(n.dnld_name, sizeof n.dnld_name, c.dnld_name);
    put_text(n.dnld_file, sizeof n.dnld_file, c.dnld_file);
    n.control = text(c.control);
    n.child_count = static_cast<int32_t>(c.devices.size());
    for (size_t i = 0; i < c.devices.size(); i++) n.children[i] = node(c.devices[i]);
    nodes[static_cast<size_t>(at)] = n;
    return at;
  }

  void resource(const CatResource &c, HwdbResource *r) {
    r->restype = c.restype;
    r->num = c.num;
    r->descr = text(c.descr);
    r->count = c.count;
    r->mask = c.mask;
    for (size_t i = 0; i < c.values.size() && i < HWDB_MAX_VALUES; i++) r->values[i] = c.values[i];
    r->def = c.def;
    r->flags = static_cast<uint8_t>(c.flags);
    r->size = c.size;
    r->range_start = c.range_start;
    r->range_end = c.range_end;
    r->range_step = c.range_step;
    r->range_count = static_cast<int32_t>(std::min<size_t>(c.ranges.size(), HWDB_MAX_RANGES));
    for (int i = 0; i < r->range_count; i++) {
      r->ranges[i][0] = c.ranges[static_cast<size_t>(i)].first;
      r->ranges[i][1] = c.ranges[static_cast<size_t>(i)].second;
    }
  }
};

template <typename T>
void append(std::string *out, const T *p, size_t n) {
  out->append(reinterpret_cast<const char *>(p), n * sizeof(T));
}

}  // namespace

std::string catalogue_image(const Catalogue &cat) {
  Builder b;
  for (const CatCard &c : cat.cards) {
    HwdbMenu m;
    std::memset(&m, 0, sizeof m);
    m.node = b.node(c.node);
    put_text(m.name, sizeof m.name, c.key);
    put_text(m.title, sizeof m.title, c.title);
    b.menus.push_back(m);
  }
  HwdbHeader h;
  std::memset(&h, 0, sizeof h);
  std::memcpy(h.magic, "KVLCONF", 8);
  h.endian = HWDB_ENDIAN_MARK;
  h.version = HWDB_VERSION;
  h.menu_count = static_cast<int32_t>(b.menus.size());
  h.node_count = static_cast<int32_t>(b.nodes.size());
  h.descr_count = static_cast<int32_t>(b.offsets.size());
  h.strings_size = static_cast<int32_t>(b.strings.size());
  std::string out;
  append(&out, &h, 1);
  append(&out, b.menus.data(), b.menus.size());
  append(&out, b.nodes.data(), b.nodes.size());
  append(&out, b.offsets.data(), b.offsets.size());
  out += b.strings;
  return out;
}

std::string catalogue_modules_lis(const Catalogue &cat) {
  std::string out;
  for (const CatDriver &d : cat.drivers) out += d.name + " " + d.module + "\n";
  return out;
}

std::string catalogue_modules_dep(const Catalogue &cat) {
  std::vector<std::string> order;                         // modules needed, first seen first
  std::map<std::string, std::vector<std::string>> needers;
  for (const CatDriver &d : cat.drivers)
    for (const std::string &m : d.depends) {
      auto &list = needers[m];
      if (list.empty()) order.push_back(m);
      if (std::find(list.begin(), list.end(), d.module) == list.end()) list.push_back(d.module);
    }
  std::string out;
  for (const std::string &m : order) {
    out += m + " [";
    for (size_t i = 0; i < needers[m].size(); i++) out += (i ? " " : "") + needers[m][i];
    out += "]\n";
  }
  return out;
}

nlohmann::ordered_json catalogue_demo_machine(const Catalogue &cat,
                                              const nlohmann::ordered_json &templ) {
  nlohmann::ordered_json m = templ;
  nlohmann::ordered_json drivers = nlohmann::ordered_json::array();
  for (const CatDriver &d : cat.drivers)
    drivers.push_back({{"name", d.name}, {"key", d.key}, {"description", d.description}});
  m["drivers"] = drivers;
  return m;
}

}  // namespace kvl
