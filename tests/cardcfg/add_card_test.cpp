// Adding a card from the card-name table.
#include "cardcfg/cardlist.h"
#include "fixture.h"

namespace cardtest {
namespace {

using namespace kvl;

TEST_F(CardcfgTest, AddCardOpensASlotPerResource) {
  ASSERT_EQ(add_card("KVLISA1", 0x240), 1);
  const ConfiguredCard &c = model().cards.cards[0];
  EXPECT_STREQ(c.name, "KVLISA1");
  EXPECT_EQ(card_title(c), "Kelvane ISA test card");  // first of two rows with this key
  EXPECT_EQ(c.device_count, 3);
  EXPECT_EQ(std::string(c.download_path), dir_ + "/etc/isa1.bin");
  const struct {
    int enabled, ports, irqs, dmas, port, irq0, irq1, dma0, dma1;
  } want[] = {
      {1, 1, 2, 2, 0x240, -1, -1, -1, -1},  // the given port goes to the first device
      {1, 1, 1, 0, -1, -1, -1, -1, -1},
      {1, 1, 0, 0, -1, -1, -1, -1, -1},
  };
  for (int i = 0; i < 3; i++) {
    const CardDevice &d = c.devices[i];
    EXPECT_EQ(db().nodes[d.node].name, std::string(i == 0 ? "isaaud" : i == 1 ? "isamidi" : "isasynth"));
    EXPECT_EQ(d.enabled, want[i].enabled) << i;
    EXPECT_EQ(d.port_count, want[i].ports) << i;
    EXPECT_EQ(d.irq_count, want[i].irqs) << i;
    EXPECT_EQ(d.dma_count, want[i].dmas) << i;
    EXPECT_EQ(d.port, want[i].port) << i;
    EXPECT_EQ(d.irq[0], want[i].irq0) << i;
    EXPECT_EQ(d.irq[1], want[i].irq1) << i;
    EXPECT_EQ(d.dma[0], want[i].dma0) << i;
    EXPECT_EQ(d.dma[1], want[i].dma1) << i;
  }
  ASSERT_EQ(add_card("KVLISA2", 0), 2);
  EXPECT_STREQ(model().cards.cards[1].download_path, "/lib/fw/kvl2.hex");
  EXPECT_EQ(model().cards.cards[1].devices[0].port, -1);
}

TEST_F(CardcfgTest, CardWithoutAllocationGetsDefinedDevices) {
  // Devices of such a card are its child nodes, enabled, without resources.
  ASSERT_EQ(add_card("KVLPCI1", 0x300), 1);
  const CardDevice &d = model().cards.cards[0].devices[0];
  EXPECT_STREQ(db().nodes[d.node].name, "pciaud");
  EXPECT_EQ(d.enabled, 1);
  EXPECT_EQ(d.port_count + d.irq_count + d.dma_count, 0);
  EXPECT_EQ(d.port, -1);
  EXPECT_EQ(d.irq[0], -1);
  EXPECT_EQ(d.dma[1], -1);
}

TEST_F(CardcfgTest, AddCardRefusals) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(add_card("NOPE", 0), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Card 'NOPE' not found in database\n");
  for (int i = 1; i <= MAX_CARDS; i++) ASSERT_EQ(add_card("KVLUSB1", 0), i);
  EXPECT_EQ(add_card("KVLUSB1", 0), -1);
  EXPECT_EQ(model().cards.count, MAX_CARDS);
  EXPECT_EQ(notices(), std::vector<std::string>{"Too many devices"});
}

}  // namespace
}  // namespace cardtest
