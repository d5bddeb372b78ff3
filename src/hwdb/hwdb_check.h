// The validation of hwdb_validate in two parts, for the parser: the checks of
// single menus and nodes, which it runs on each record as soon as the stream
// has brought it in (while the decompressor makes the rest), and the rest of
// the validation once every section is read. Together they report exactly
// what hwdb_validate reports, in its order.
#pragma once

#include "hwdb/hwdb.h"

#include <cstdint>
#include <string>

namespace kvl {

// What the parser already checked: menus [0, menus_checked) and nodes
// [0, nodes_checked), and the first of them that failed (-1: none).
//
// With depth (node_count bytes, zeroed) the node checks also follow the
// nesting while every child comes after its parent, as in every database the
// catalogue tool writes: depth[n] is then the longest chain of parents above
// node n seen so far, and no chain longer than HWDB_MAX_DEPTH means no node
// nests too deep. nesting_open is set once that no longer holds (a child at
// or before its parent, or a chain too long). With every node checked that
// way, the parser sets nesting_checked; otherwise the recursive check at the
// end decides, as it does without depth.
struct HwdbEarlyChecks {
  int menus_checked = 0;
  int bad_menu = -1;
  int nodes_checked = 0;
  int bad_node = -1;
  unsigned char *depth = nullptr;
  bool nesting_open = false;
  bool nesting_checked = false;
};

// Checks menu rows [done->menus_checked, to) unless one failed before. Uses
// the model's menus and node count only.
void hwdb_check_menus(const HwdbModel &m, int to, HwdbEarlyChecks *done);

// Checks nodes [done->nodes_checked, to) unless one failed before. Uses the
// model's nodes and its node and descr counts only.
void hwdb_check_nodes(const HwdbModel &m, int to, HwdbEarlyChecks *done);

// hwdb_validate for a model whose records are checked as far as done says.
int hwdb_validate_rest(const HwdbModel &m, const uint32_t *offsets, const char *path,
                       const HwdbEarlyChecks &done, std::string *err);

}  // namespace kvl
