// Who holds which I/O ports, IRQs and DMA channels: the holder tables of the
// resource allocation. A holder is a device node's name or one of the texts
// below; nullptr means free.
#pragma once

namespace kvl {

constexpr int PORT_TABLE_SIZE = 101;
constexpr int IRQ_LINES = 32;
constexpr int SYSTEM_IRQ_LINES = 16;   // IRQs 0..15 have a saved system copy
constexpr int DMA_CHANNELS = 8;
constexpr int MAX_TAKEOVERS = 20;
constexpr int MAX_IRQ_NESTING = 100;
constexpr int MAX_DMA_NESTING = 20;

extern const char HOLDER_DISABLED[];   // "Disabled"
extern const char HOLDER_PCI[];        // "Allocated for a PCI device"

struct PortRange {
  int first;
  int last;
  int node;          // holder device node
};

struct ResourceTables {
  int port_count = 0;
  int port_base = 0;                   // entries that belong to the system
  PortRange ports[PORT_TABLE_SIZE] = {};
  const char *irq[IRQ_LINES] = {};
  const char *saved_irq[SYSTEM_IRQ_LINES] = {};
  const char *dma[DMA_CHANNELS] = {};
  const char *saved_dma[DMA_CHANNELS] = {};
  int takeovers = 0;                   // since the last rebuild
  int irq_nesting = 0;
  int dma_nesting = 0;
  int failures = 0;                    // selection dialogs with nothing to offer
};

struct ConfigModel;
struct ControlDevice;
struct HwdbModel;
class Asker;

// Registers first..last as held by node. Returns 0, or -1 when the table is full.
int port_table_add(ResourceTables &t, int first, int last, int node);

// Asks the driver which IRQs PCI devices hold (none with the no-driver
// flag; on failure prints "get PCI IRQs: error" and marks none) and makes them
// "Allocated for a PCI device" where free; then saves IRQs 0..15 as the
// system copy.
void query_pci_irqs(ResourceTables &t, const ControlDevice &control);

// Makes the current port entries the system's fixed base and keeps the DMA
// holders as the saved system copy (the IRQ copy is taken by query_pci_irqs).
void mark_resource_base(ResourceTables &t);

// Starts the model's tables afresh from the system base and the exclusion
// masks. Checking every card's resources and download file is not done yet:
// it arrives with the resource allocator (check_card).
void rebuild_and_check_all(ConfigModel &model, const HwdbModel &db, Asker &asker);

}  // namespace kvl
