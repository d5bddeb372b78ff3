// Lookups in a loaded database.
#include "hwdb/hwdb.h"

#include <cstring>

namespace kvl {

int hwdb_find_card(const HwdbModel &db, const char *key) {
  for (int i = 0; i < db.menu_count; i++)
    if (std::strcmp(db.menus[i].name, key) == 0) return i;  // names end in their field
  return -1;
}

const HwdbNode *hwdb_node(const HwdbModel &db, int index) {
  return index >= 0 && index < db.node_count ? &db.nodes[index] : nullptr;
}

const char *hwdb_text(const HwdbModel &db, int descr) {
  if (descr < 0 || descr >= db.descr_count) return nullptr;
  return db.descr[descr];
}

}  // namespace kvl
