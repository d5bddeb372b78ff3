#include "cardcfg/model.h"
#include "cardcfg/resources.h"

namespace kvl {

void rebuild_and_check_all(ConfigModel &model, const HwdbModel &, Asker &) {
  ResourceTables &t = model.resources;
  const ConfigSettings &s = model.settings;
  t.port_count = t.port_base;
  t.takeovers = 0;
  t.failures = 0;
  for (int i = 0; i < SYSTEM_IRQ_LINES; i++) t.irq[i] = t.saved_irq[i];
  for (int i = 0; i < IRQ_LINES; i++)
    if (!t.irq[i] && (s.irq_exclude >> i & 1u)) t.irq[i] = HOLDER_DISABLED;
  for (int i = 0; i < DMA_CHANNELS; i++) {
    t.dma[i] = t.saved_dma[i];
    if (!t.dma[i] && (s.dma_exclude >> i & 1u)) t.dma[i] = HOLDER_DISABLED;
  }
  // Not checked yet: check_card for each card comes with the resource allocator.
}

}  // namespace kvl
