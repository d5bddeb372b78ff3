// Which logical devices an ISA plug-and-play card has and which of the
// card's device resources go into each: the table behind the "/PNPDEV" lines
// of etc/devices.cfg.
#pragma once

#include "cardcfg/cardlist.h"
#include "cardcfg/devices_cfg.h"

#include <string>
#include <string_view>

namespace kvl {

// Where one port, IRQ or DMA entry of a logical device comes from.
enum class PnpSource : unsigned char { Empty, Port, Irq, Dma1, Dma2 };

struct PnpValue {
  PnpSource source;
  int device;   // k of Dk: the card's k-th device, from 1
  int offset;   // added to a port
};

constexpr int PNP_LAYOUT_MAX_PORTS = 5;
constexpr int PNP_LAYOUT_MAX_IRQS = 2;
constexpr int PNP_LAYOUT_MAX_DMAS = 2;

struct PnpLogicalDevice {
  const char *id;
  int port_gate;   // k: the port list is empty while device k is off; 0 = always
  int nports;
  PnpValue ports[PNP_LAYOUT_MAX_PORTS];
  int nirqs;
  PnpValue irqs[PNP_LAYOUT_MAX_IRQS];
  int ndmas;
  PnpValue dmas[PNP_LAYOUT_MAX_DMAS];
};

constexpr int PNP_LAYOUT_MAX_DEVICES = 4;

struct PnpLayoutRow {
  std::string_view cards;   // card identifiers separated by blanks
  int ndevices;
  PnpLogicalDevice devices[PNP_LAYOUT_MAX_DEVICES];
  bool no_device_lines;     // the card's section ends after its "/PNPDEV" lines
};

struct PnpLayoutTable {
  const PnpLayoutRow *rows;
  int count;
};
extern const PnpLayoutTable g_pnp_layout;

// The first row listing card_name exactly, or nullptr.
const PnpLayoutRow *pnp_layout_find(std::string_view card_name);

// Appends the card's plug-and-play section to out: its "/PNPDEV" lines when
// the table has a row for it, then its device lines unless the row says
// otherwise. Disabled devices of the card are written without resources.
void write_pnp_section(ConfigWriter &w, const ConfiguredCard &card);

}  // namespace kvl
