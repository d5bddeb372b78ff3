// The diagnostic dump of the database: every card row with its node tree.
#include "hwdb/hwdb.h"
#include "hwdb/hwdb_dump.h"

#include <cstdio>

namespace kvl {
namespace {

void tabs(FILE *out, int depth) {
  for (int i = 0; i < depth; i++) std::fputc('\t', out);
}

void dump_descr(const HwdbModel &m, int descr, FILE *out) {
  if (descr < 0 || descr >= m.descr_count) return;
  std::fprintf(out, "Descr(%d): '%s'\n", descr, m.descr[descr]);
}

void dump_resource(const HwdbModel &m, const HwdbResource &r, int depth, FILE *out) {
  tabs(out, depth);
  std::fprintf(out, "\t\trestype=%d, num=%d", r.restype, r.num);
  std::fprintf(out, ", default=%x", static_cast<unsigned>(r.def));
  std::fprintf(out, ", mask=%x", static_cast<unsigned>(r.mask));
  std::fputc('\n', out);
  dump_descr(m, r.descr, out);
}

// Validation keeps the nesting shallow, so the recursion is bounded.
void dump_node(const HwdbModel &m, int n, int depth, FILE *out) {
  const HwdbNode &nd = m.nodes[n];
  tabs(out, depth);
  std::fprintf(out, "\t%s: num=%d, bus=%d, type=%d, opt=%x, nres=%d", nd.name, nd.num, nd.bus,
               nd.type, static_cast<unsigned>(nd.opt), nd.nres);
  if (nd.dnld != 0) std::fprintf(out, ", dnld=%s,%d,%s", nd.dnld_name, nd.dnld, nd.dnld_file);
  std::fputc('\n', out);
  dump_descr(m, nd.descr, out);
  for (int i = 0; i < nd.child_count; i++) dump_node(m, nd.children[i], depth + 1, out);
  for (int i = 0; i < nd.nres; i++) dump_resource(m, nd.resources[i], depth, out);
}

}  // namespace

void hwdb_dump_model(const HwdbModel &m, FILE *out) {
  for (int i = 0; i < m.menu_count; i++) {
    const HwdbMenu &mu = m.menus[i];
    std::fprintf(out, "Menu %s/%s = '%s'\n", m.nodes[mu.node].name, mu.name, mu.title);
    dump_node(m, mu.node, 0, out);
  }
}

}  // namespace kvl
