// The plug-and-play section of a card: "/PNPDEV" lines from the layout table,
// then the card's device lines.
#include "cardcfg/cardlist.h"
#include "cardcfg/pnp_layout.h"
#include "fixture.h"

#include <functional>

namespace cardtest {
namespace {

using namespace kvl;

// Resources of the k-th device (from 1) of the last card added.
void set(int k, int port, int irq = -1, int dma0 = -1, int dma1 = -1) {
  CardDevice &d = model().cards.cards[model().cards.count - 1].devices[k - 1];
  d.port = port, d.irq[0] = irq, d.dma[0] = dma0, d.dma[1] = dma1;
}
void off(int k) { model().cards.cards[model().cards.count - 1].devices[k - 1].enabled = 0; }

// Four generic devices pd1..pd4 with a port, an IRQ and two DMA channels.
void sb_like() { set(1, 0x388), set(2, 0x330), set(3, 0x220, 5, 1, 5); }

struct Case {
  const char *name;
  const char *card;
  std::function<void()> setup;
  const char *section;
};

TEST_F(CardcfgTest, PnpSections) {
  const Case cases[] = {
      {"two logical devices with the same resources", "ESS0968",
       [] { set(1, 0x388), set(2, 0x330), set(3, 0x220, 5, 1); },
       "/PNPDEV ESS0968 P220 P388 P330 I5 D1\n/PNPDEV ESS0969 P220 P388 P330 I5 D1\n"
       "essfm OPNP P388\nessmpu OPNP P330\nessaud OPNP P220 I5 D1\n"},
      {"offsets; a port list gated by a device that is off", "CSCA836",
       [] { set(1, 0x534, 9, 0, 3), set(2, 0x120), set(3, 0x330, 11), off(3); },
       "/PNPDEV CSCA800 P534 P120 P# I9 D0 D3\n/PNPDEV CSC9407 P# I#\n/PNPDEV CSCA805 P#\n"
       "/PNPDEV CSCA810\ncsaud OPNP P534 I9 D0 d3\ncsctl OPNP P120\ncsmpu OFF\n"},
      {"awe and wave shapes", "CTL0044",
       [] { set(1, 0x388), set(2, 0x330), set(4, 0x620, 5, 1, 5); },
       "/PNPDEV CTL0031 P620 P330 P388 I5 D1 D5\n/PNPDEV CTL0021 Pa20 Pe20 P1220\n"
       "pd1 OPNP P388\npd2 OPNP P330\npd3 OPNP\npd4 OPNP P620 I5 D1 d5\n"},
      {"wave ports are empty while D4 is off; D4 loses its resources", "CTL0044",
       [] { set(1, 0x388), set(2, 0x330), set(4, 0x620, 5, 1, 5), off(4); },
       "/PNPDEV CTL0031 P# P330 P388 I# D# D#\n/PNPDEV CTL0021\n"
       "pd1 OPNP P388\npd2 OPNP P330\npd3 OPNP\npd4 OFF\n"},
      {"an offset from an unassigned port stays unassigned", "CTL0044", [] {},
       "/PNPDEV CTL0031 P# P# P# I# D# D#\n/PNPDEV CTL0021 P# P# P#\n"
       "pd1 OPNP\npd2 OPNP\npd3 OPNP\npd4 OPNP\n"},
      {"port 0 is P#, IRQ 0 keeps its number, a logical device with nothing", "CMI0001",
       [] { set(1, 0x60), set(2, 0, 0), set(3, 0x220, 0, 0); },
       "/PNPDEV @@@0001 P220 P060 I0 D0\n/PNPDEV @H@0001 P# I0\n/PNPDEV @X@0001\n"
       "pd1 OPNP P60\npd2 OPNP\npd3 OPNP P220 D0\npd4 OPNP\n"},
      {"no device lines", "CTL0080", sb_like, "/PNPDEV CTL0041 P220 P330 P388 I5 D1 D5\n"},
      {"the first DMA channel twice", "CTL00F0", sb_like,
       "/PNPDEV CTL0043 P220 P330 P388 I5 D1 D1\n"
       "pd1 OPNP P388\npd2 OPNP P330\npd3 OPNP P220 I5 D1 d5\npd4 OPNP\n"},
      {"a fixed empty port first, two IRQs", "YMH0020",
       [] { set(1, 0x388), set(2, 0x330, 9), set(3, 0x220), set(4, 0x530, 5, 0, 1); },
       "/PNPDEV YMH0021 P# P530 P388 P330 P220 I5 I9 D0 D1\n"
       "pd1 OPNP P388\npd2 OPNP P330 I9\npd3 OPNP P220\npd4 OPNP P530 I5 D0 d1\n"},
      {"a card without a row writes device lines only", "KVLP001", [] { set(1, 0x240, 7); },
       "pnpaud OPNP P240 I7\n"},
  };
  for (const Case &c : cases) {
    reset_model();
    ASSERT_GT(add_card(c.card, 0), 0) << c.card;
    c.setup();
    ConfigWriter w{model(), db()};
    write_pnp_section(w, model().cards.cards[0]);
    EXPECT_EQ(w.out, c.section) << c.name;
  }
}

}  // namespace
}  // namespace cardtest
