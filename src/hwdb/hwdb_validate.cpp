// Validation of a loaded database: every count, index and offset that later
// code uses to index an array must lie inside it, and every text must end
// inside its field, so a damaged file is refused instead of read past.
#include "hwdb/hwdb_check.h"
#include "hwdb/hwdb_validate.h"

#include <cstdarg>
#include <cstring>
#include <vector>

namespace kvl {
namespace {

struct Check {
  const HwdbModel &m;
  const char *path;
  std::string *err;
};

// Appends "PATH: Invalid file contents: WHAT\n" and returns -1.
int fail(const Check &c, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
int fail(const Check &c, const char *fmt, ...) {
  char what[160];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(what, sizeof what, fmt, ap);
  va_end(ap);
  *c.err += c.path;
  *c.err += ": Invalid file contents: ";
  *c.err += what;
  *c.err += '\n';
  return -1;
}

bool terminated(const char *field, size_t size) { return std::memchr(field, 0, size) != nullptr; }

bool descr_ok(const Check &c, int32_t d) { return d == -1 || (d >= 0 && d < c.m.descr_count); }

int check_strings(const Check &c, const uint32_t *offsets) {
  const HwdbModel &m = c.m;
  if (m.strings_size > 0 && m.strings[m.strings_size - 1] != '\0')
    return fail(c, "the strings do not end with a NUL");
  for (int i = 0; i < m.descr_count; i++)
    if (offsets[i] >= static_cast<uint32_t>(m.strings_size))
      return fail(c, "descr %d: offset %u is outside the strings (%d bytes)", i, offsets[i],
                  m.strings_size);
  return 0;
}

int check_menu(const Check &c, int i) {
  const HwdbMenu &mu = c.m.menus[i];
  if (!terminated(mu.name, sizeof mu.name)) return fail(c, "menu %d: name is not terminated", i);
  if (!terminated(mu.title, sizeof mu.title))
    return fail(c, "menu %d: title is not terminated", i);
  if (mu.node < 0 || mu.node >= c.m.node_count)
    return fail(c, "menu %d: node %d is outside the nodes (%d)", i, mu.node, c.m.node_count);
  return 0;
}

int check_resource(const Check &c, int n, int r, const HwdbResource &res) {
  if (!descr_ok(c, res.descr))
    return fail(c, "node %d resource %d: descr %d is outside the descr table (%d)", n, r,
                res.descr, c.m.descr_count);
  if (res.range_count < 0 || res.range_count > HWDB_MAX_RANGES)
    return fail(c, "node %d resource %d: range count %d is outside 0..%d", n, r, res.range_count,
                HWDB_MAX_RANGES);
  if (res.restype < RES_IO || res.restype > RES_DMA) return 0;  // other types are skipped
  int nmax = res.restype == RES_IO ? 1 : 2;
  if (res.num < 1 || res.num > nmax)
    return fail(c, "node %d resource %d: num %d is outside 1..%d", n, r, res.num, nmax);
  if (res.count < 0 || res.count > HWDB_MAX_VALUES)
    return fail(c, "node %d resource %d: value count %d is outside 0..%d", n, r, res.count,
                HWDB_MAX_VALUES);
  if (res.restype == RES_IO && res.count == 0 && res.range_step <= 0)
    return fail(c, "node %d resource %d: range step %d is not positive", n, r, res.range_step);
  return 0;
}

int check_node(const Check &c, int n) {
  const HwdbNode &nd = c.m.nodes[n];
  if (!terminated(nd.name, sizeof nd.name)) return fail(c, "node %d: name is not terminated", n);
  if (!terminated(nd.dnld_name, sizeof nd.dnld_name))
    return fail(c, "node %d: download name is not terminated", n);
  if (!terminated(nd.dnld_file, sizeof nd.dnld_file))
    return fail(c, "node %d: download file is not terminated", n);
  if (!descr_ok(c, nd.descr))
    return fail(c, "node %d: descr %d is outside the descr table (%d)", n, nd.descr,
                c.m.descr_count);
  if (!descr_ok(c, nd.dnld_hint))
    return fail(c, "node %d: download hint %d is outside the descr table (%d)", n, nd.dnld_hint,
                c.m.descr_count);
  if (!descr_ok(c, nd.control))
    return fail(c, "node %d: control %d is outside the descr table (%d)", n, nd.control,
                c.m.descr_count);
  if (nd.nres < 0 || nd.nres > HWDB_MAX_RES)
    return fail(c, "node %d: nres %d is outside 0..%d", n, nd.nres, HWDB_MAX_RES);
  if (nd.child_count < 0 || nd.child_count > HWDB_MAX_CHILDREN)
    return fail(c, "node %d: child count %d is outside 0..%d", n, nd.child_count,
                HWDB_MAX_CHILDREN);
  for (int i = 0; i < nd.child_count; i++)
    if (nd.children[i] < 0 || nd.children[i] >= c.m.node_count)
      return fail(c, "node %d: child %d is outside the nodes (%d)", n, nd.children[i],
                  c.m.node_count);
  for (int r = 0; r < nd.nres; r++)
    if (check_resource(c, n, r, nd.resources[r]) != 0) return -1;
  return 0;
}

enum : unsigned char { UNSEEN, OPEN, DONE };

// Height of node n's subtree (0 for a leaf), or -1 when the nesting below it
// loops or goes deeper than HWDB_MAX_DEPTH. level is n's own depth, which
// bounds the recursion.
int height(const HwdbModel &m, int n, int level, std::vector<unsigned char> &state,
           std::vector<int> &heights) {
  if (state[n] == DONE) return heights[n];
  if (state[n] == OPEN || level > HWDB_MAX_DEPTH) return -1;
  state[n] = OPEN;
  int h = 0;
  for (int i = 0; i < m.nodes[n].child_count; i++) {
    int ch = height(m, m.nodes[n].children[i], level + 1, state, heights);
    if (ch < 0 || ch + 1 > HWDB_MAX_DEPTH) return -1;
    if (ch + 1 > h) h = ch + 1;
  }
  state[n] = DONE;
  heights[n] = h;
  return h;
}

int check_nesting(const Check &c) {
  std::vector<unsigned char> state(static_cast<size_t>(c.m.node_count), UNSEEN);
  std::vector<int> heights(static_cast<size_t>(c.m.node_count), 0);
  for (int n = 0; n < c.m.node_count; n++)
    if (height(c.m, n, 0, state, heights) < 0)
      return fail(c, "node %d: its children loop or nest deeper than %d levels", n,
                  HWDB_MAX_DEPTH);
  return 0;
}

}  // namespace

void hwdb_check_menus(const HwdbModel &m, int to, HwdbEarlyChecks *done) {
  if (done->bad_menu >= 0) return;
  std::string scratch;
  Check c{m, "", &scratch};
  for (int i = done->menus_checked; i < to; i++)
    if (check_menu(c, i) != 0) {
      done->bad_menu = i;
      return;
    }
  done->menus_checked = to;
}

void hwdb_check_nodes(const HwdbModel &m, int to, HwdbEarlyChecks *done) {
  if (done->bad_node >= 0) return;
  std::string scratch;
  Check c{m, "", &scratch};
  for (int n = done->nodes_checked; n < to; n++) {
    if (check_node(c, n) != 0) {
      done->bad_node = n;
      return;
    }
    if (!done->depth || done->nesting_open) continue;
    // The checks above put every child inside the nodes.
    const HwdbNode &nd = m.nodes[n];
    int below = done->depth[n] + 1;
    for (int i = 0; i < nd.child_count; i++) {
      int ch = nd.children[i];
      if (ch <= n || below > HWDB_MAX_DEPTH) {
        done->nesting_open = true;
        break;
      }
      if (done->depth[ch] < below) done->depth[ch] = static_cast<unsigned char>(below);
    }
  }
  done->nodes_checked = to;
}

int hwdb_validate_rest(const HwdbModel &m, const uint32_t *offsets, const char *path,
                       const HwdbEarlyChecks &done, std::string *err) {
  Check c{m, path, err};
  if (m.descr_count < 0 || m.descr_count > HWDB_MAX_DESCR)
    return fail(c, "descr count %d is outside 0..%d", m.descr_count, HWDB_MAX_DESCR);
  if (check_strings(c, offsets) != 0) return -1;
  // A record found bad before is the first bad one; its check says why.
  if (done.bad_menu >= 0) return check_menu(c, done.bad_menu);
  for (int i = done.menus_checked; i < m.menu_count; i++)
    if (check_menu(c, i) != 0) return -1;
  if (done.bad_node >= 0) return check_node(c, done.bad_node);
  for (int n = done.nodes_checked; n < m.node_count; n++)
    if (check_node(c, n) != 0) return -1;
  return done.nesting_checked ? 0 : check_nesting(c);
}

int hwdb_validate(const HwdbModel &m, const uint32_t *offsets, const char *path,
                  std::string *err) {
  return hwdb_validate_rest(m, offsets, path, HwdbEarlyChecks{}, err);
}

}  // namespace kvl
