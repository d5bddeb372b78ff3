// Who holds which I/O ports, IRQs and DMA channels: the holder tables of the
// resource allocation. A holder is a device node's name or one of the texts
// below; nullptr means free. Beside each holder the tables keep which
// configured device (card and device index) holds it, so that a take-over
// finds the device to ask again; system holders have no device.
#pragma once

#include <vector>

namespace kvl {

constexpr int PORT_TABLE_ROOM = 101;   // entries reserved at first; the table grows past it
constexpr int IRQ_LINES = 32;
constexpr int DMA_CHANNELS = 8;
constexpr int MAX_TAKEOVERS = 20;
constexpr int MAX_IRQ_NESTING = 100;
constexpr int MAX_DMA_NESTING = 20;

extern const char HOLDER_DISABLED[];   // "Disabled"
extern const char HOLDER_PCI[];        // "Allocated for a PCI device"

struct HwdbResource;

// A configured device: card and device index in the card list; -1 for none.
struct DeviceRef {
  int card = -1;
  int device = -1;
};

// What the allocation asks the user about at the moment: the device (or,
// with device -1, the card's firmware file) and the resource of the
// question. A take-over that clears another device's value notes the taker
// and the value while that device is asked again. Set before each question,
// so an asker that answers without a person can say what the question is.
struct AskedSlot {
  DeviceRef who;                        // card -1: no question under way
  const HwdbResource *res = nullptr;
  DeviceRef taken_by;                   // the device that took the value, during a take-over
  int taken_value = -1;
};

struct PortRange {
  int first;
  int last;
  int node;          // holder device node
  DeviceRef owner;   // the holding device; none for system entries
};

struct ResourceTables {
  int port_base = 0;                   // entries that belong to the system
  std::vector<PortRange> ports;        // in order of registration
  const char *irq[IRQ_LINES] = {};
  DeviceRef irq_owner[IRQ_LINES];
  const char *saved_irq[IRQ_LINES] = {};  // the system's holders, restored by every rebuild
  const char *dma[DMA_CHANNELS] = {};
  DeviceRef dma_owner[DMA_CHANNELS];
  const char *saved_dma[DMA_CHANNELS] = {};
  int takeovers = 0;                   // since the last rebuild
  int irq_nesting = 0;
  int dma_nesting = 0;
  int failures = 0;                    // selection dialogs with nothing to offer
  AskedSlot asking;                    // the question under way
};

struct ConfigModel;
struct ControlDevice;
struct HwdbModel;
class Asker;

// Registers first..last as held by node (and by owner, when a configured
// device holds it). Returns 0.
int port_table_add(ResourceTables &t, int first, int last, int node, DeviceRef owner = {});

// Asks the driver which IRQs PCI devices hold (none with the no-driver
// flag; on failure prints "get PCI IRQs: error" and marks none) and makes them
// "Allocated for a PCI device" where free; then saves all 32 IRQ holders as
// the system copy.
void query_pci_irqs(ResourceTables &t, const ControlDevice &control);

// Makes the current port entries the system's fixed base and keeps the DMA
// holders as the saved system copy (the IRQ copy is taken by query_pci_irqs).
void mark_resource_base(ResourceTables &t);

// The full allocation pass: the tables start afresh from the system copy and
// the exclusion masks, then every card is checked in list order (allocate.h).
void rebuild_and_check_all(ConfigModel &model, const HwdbModel &db, Asker &asker);

}  // namespace kvl
