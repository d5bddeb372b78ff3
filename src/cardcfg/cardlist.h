// The configured-card model of audcore: the card list with its devices and
// resources, and the global settings kept in etc/devices.cfg.
#pragma once

#include <cstdint>
#include <string>

namespace kvl {

constexpr int MAX_CARDS = 10;
constexpr int MAX_CARD_DEVICES = 10;
constexpr int CARD_NAME_SIZE = 32;
constexpr int DOWNLOAD_PATH_SIZE = 100;

// One logical device of a card (a child node of the card in the database).
// In every port, IRQ and DMA slot -1 means not assigned; a port of 0 means none.
struct CardDevice {
  int32_t node = -1;        // index of the device's HwdbNode
  int32_t enabled = 0;      // 1 on, 0 off
  int32_t port_count = 0;   // I/O port resources of the node (0 or 1)
  int32_t irq_count = 0;    // IRQ resources (0, 1 or 2)
  int32_t dma_count = 0;    // DMA resources (0, 1 or 2)
  int32_t port = -1;
  int32_t irq[2] = {-1, -1};
  int32_t dma[2] = {-1, -1};
};

// One configured sound card.
struct ConfiguredCard {
  int node = -1;                       // index of the card's top HwdbNode
  char name[CARD_NAME_SIZE] = {};      // key from the card-name table
  int name_index = -1;                 // row in the card-name table (gives the title)
  int device_count = 0;                // the card node's child count, at most 10
  CardDevice devices[MAX_CARD_DEVICES];
  char download_path[DOWNLOAD_PATH_SIZE] = {};  // firmware file; empty when none
};

// The configured cards in start-up order; new cards are appended.
struct CardList {
  int count = 0;
  ConfiguredCard cards[MAX_CARDS];
};

// Global settings of devices.cfg. Masks: bit n stands for IRQ or DMA n.
struct ConfigSettings {
  int secure_audio = 0;           // "/SECUREAUDIO ON"
  int dspx = 0;                   // "/DSPX"
  int pnp_preserve = 0;           // "/PNPPRESERVE"; read, never written
  int pnp_port = 0;               // "/PNPPORT", ISA PnP read-data port; 0 = not set
  uint32_t pci_irq_mask = 0;      // "/PCIIRQ", IRQs 1..31 used by PCI sound cards
  uint32_t irq_exclude = 0;       // "/IRQEXCLUDE", IRQs 1..31 given to no device
  uint32_t dma_exclude = 0;       // "/DMAEXCLUDE", DMA 0..7 given to no device
  int first_configuration = 1;    // 1 until a devices.cfg has been opened
  int devices_disabled = 0;       // set while writing when a device is written OFF
};

struct ConfigModel;
struct HwdbModel;
class Asker;

// Appends the card whose key is name in the card-name table to model's
// cards; a non-zero port becomes the first I/O port of its first device.
// Returns the new card count, or -1 after reporting an unknown name
// (standard error) or a full list (notice "Too many devices").
int add_card(ConfigModel &model, const HwdbModel &db, Asker &asker, const char *name, int port);

// Removes the card at index; the later cards move up one place. Returns 0,
// or -1 for an index outside the list (nothing changes).
int remove_card_at(CardList &list, int index);

// Reorders the cards: the card at place i becomes the one that was at
// order[i]. order must name every place 0..count - 1 exactly once (n ==
// count); otherwise returns -1 and nothing changes.
int permute_cards(CardList &list, const int *order, int n);

// The card's title from its card-name row, or "" when the row is unknown.
std::string card_title(const HwdbModel &db, const ConfiguredCard &card);

// Deletes DIR/etc/dspdevs.map: the saved /dev/dsp routing names audio
// devices by number, which a change to the set of cards makes wrong.
void forget_routing(const std::string &dir);

}  // namespace kvl
