// The loaded database as the other subsystems see it, and its lookups.
#include "hwdb/hwdb.h"

#include <cstring>

namespace kvl {

HwdbMenu *hwdb_menus = nullptr;
int hwdb_menu_count = 0;
HwdbNode *hwdb_nodes = nullptr;
int hwdb_node_count = 0;
const char *hwdb_descr[HWDB_MAX_DESCR] = {};
int hwdb_descr_count = 0;

int hwdb_find_card(const char *key) {
  for (int i = 0; i < hwdb_menu_count; i++)
    if (std::strcmp(hwdb_menus[i].name, key) == 0) return i;  // names end in their field
  return -1;
}

const char *hwdb_text(int descr) {
  if (descr < 0 || descr >= hwdb_descr_count) return nullptr;
  return hwdb_descr[descr];
}

}  // namespace kvl
