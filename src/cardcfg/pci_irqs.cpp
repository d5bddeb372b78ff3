#include "cardcfg/resources.h"
#include "common/common.h"
#include "control/control.h"
#include "driver/driver.h"

#include <cstdint>

namespace kvl {

void query_pci_irqs(ResourceTables &t, const ControlDevice &control) {
  int32_t mask = 0;
  if (!control.no_driver && control_request(control, CTL_GET_PCI_IRQS, &mask) < 0) mask = 0;
  for (int i = 0; i < IRQ_LINES; i++)
    if ((static_cast<uint32_t>(mask) >> i & 1u) && !t.irq[i]) t.irq[i] = HOLDER_PCI;
  for (int i = 0; i < IRQ_LINES; i++) t.saved_irq[i] = t.irq[i];
}

}  // namespace kvl
