#include "cardcfg/resources.h"

namespace kvl {

const char HOLDER_DISABLED[] = "Disabled";
const char HOLDER_PCI[] = "Allocated for a PCI device";

int port_table_add(ResourceTables &t, int first, int last, int node, DeviceRef owner) {
  if (t.ports.capacity() < PORT_TABLE_ROOM) t.ports.reserve(PORT_TABLE_ROOM);
  t.ports.push_back({first, last, node, owner});
  return 0;
}

void mark_resource_base(ResourceTables &t) {
  t.port_base = static_cast<int>(t.ports.size());
  for (int i = 0; i < DMA_CHANNELS; i++) t.saved_dma[i] = t.dma[i];
}

}  // namespace kvl
