#include "cardcfg/resources.h"

namespace kvl {

const char HOLDER_DISABLED[] = "Disabled";
const char HOLDER_PCI[] = "Allocated for a PCI device";

ResourceTables g_resources;

int port_table_add(int first, int last, int node) {
  ResourceTables &t = g_resources;
  if (t.port_count >= PORT_TABLE_SIZE) return -1;
  t.ports[t.port_count++] = {first, last, node};
  return 0;
}

void mark_resource_base() {
  g_resources.port_base = g_resources.port_count;
  for (int i = 0; i < DMA_CHANNELS; i++) g_resources.saved_dma[i] = g_resources.dma[i];
}

}  // namespace kvl
