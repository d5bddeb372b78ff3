#include "cardcfg/resources.h"
#include "common/common.h"
#include "control/control.h"
#include "driver/driver.h"

#include <cstdint>

namespace kvl {

void query_pci_irqs() {
  int32_t mask = 0;
  if (!g_core.control.no_driver && control_send(g_core.control, CTL_GET_PCI_IRQS, &mask) < 0) {
    print_error(request_label(CTL_GET_PCI_IRQS));
    mask = 0;
  }
  ResourceTables &t = g_resources;
  for (int i = 0; i < IRQ_LINES; i++)
    if ((static_cast<uint32_t>(mask) >> i & 1u) && !t.irq[i]) t.irq[i] = HOLDER_PCI;
  for (int i = 0; i < SYSTEM_IRQ_LINES; i++) t.saved_irq[i] = t.irq[i];
}

}  // namespace kvl
