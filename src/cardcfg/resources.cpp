#include "cardcfg/resources.h"

namespace kvl {

const char HOLDER_DISABLED[] = "Disabled";
const char HOLDER_PCI[] = "Allocated for a PCI device";

int port_table_add(ResourceTables &t, int first, int last, int node) {
  if (t.port_count >= PORT_TABLE_SIZE) return -1;
  t.ports[t.port_count++] = {first, last, node};
  return 0;
}

void mark_resource_base(ResourceTables &t) {
  t.port_base = t.port_count;
  for (int i = 0; i < DMA_CHANNELS; i++) t.saved_dma[i] = t.dma[i];
}

}  // namespace kvl
