// set_pnp_device and query_pci_irqs against the simulated driver, in this
// process (MachineFixture).
#include "cardcfg/pnp_device.h"
#include "cardcfg/resources.h"
#include "common/common.h"
#include "control/control.h"
#include "machine_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using namespace kvl;
using nlohmann::json;

const char MACHINE[] = R"({
  "drivers": [{"name": "pciaud", "key": 7}],
  "pci": [{"name": "KVLPCI1", "driver": "pciaud", "irq": 5},
          {"name": "KVLPCI2", "driver": "pciaud", "irq": 9}]
})";

class DriverTest : public kvltest::MachineFixture {
 protected:
  void SetUp() override { start(MACHINE); }

  ResourceTables tables_;
};

TEST_F(DriverTest, SetPnpDeviceSendsTheRecord) {
  EXPECT_EQ(set_pnp_device(control, "CTL0031 P220 P# I5 I# D1 D#"), 0);
  auto sent = journal("Set PnP device");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0]["id"], "CTL0031");
  EXPECT_EQ(sent[0]["ports"], json({0x220, 0}));
  EXPECT_EQ(sent[0]["irqs"], json({5, 2}));
  EXPECT_EQ(sent[0]["dmas"], json({1, 4}));
  EXPECT_TRUE(sent[0]["errno"].is_null());

  // No identifier: nothing is sent.
  EXPECT_EQ(set_pnp_device(control, ""), 0);
  EXPECT_EQ(journal("Set PnP device").size(), 1u);
}

TEST_F(DriverTest, SetPnpDeviceDropsEntriesPastEight) {
  std::string text = "@@@0001";
  for (int i = 1; i <= 9; i++) text += " P" + std::to_string(0x200 + i);
  testing::internal::CaptureStderr();
  EXPECT_EQ(set_pnp_device(control, text), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "PnP device @@@0001: more than 8 ports, IRQs or DMA channels; 1 ignored\n");
  auto sent = journal("Set PnP device");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0]["nports"], 8);
  EXPECT_TRUE(sent[0]["errno"].is_null());
}

TEST_F(DriverTest, SetPnpDeviceFailureIsReported) {
  fault("Set PnP device", "EIO", 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(set_pnp_device(control, "CTL0031 P220"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Set PnP device: Input/output error\n");
}

TEST_F(DriverTest, PciIrqsAreMarkedWhereFree) {
  tables_.irq[9] = "isaaud";
  query_pci_irqs(tables_, control);
  EXPECT_STREQ(tables_.irq[5], "Allocated for a PCI device");
  EXPECT_STREQ(tables_.irq[9], "isaaud");  // a holder keeps its IRQ
  EXPECT_EQ(tables_.irq[7], nullptr);
  for (int i = 0; i < IRQ_LINES; i++) EXPECT_EQ(tables_.saved_irq[i], tables_.irq[i]);
  EXPECT_EQ(journal("get PCI IRQs").size(), 1u);
}

TEST_F(DriverTest, PciIrqsWithoutDriverOrOnFailure) {
  control.no_driver = 1;
  query_pci_irqs(tables_, control);
  EXPECT_TRUE(journal("get PCI IRQs").empty());
  EXPECT_EQ(tables_.irq[5], nullptr);

  control.no_driver = 0;
  fault("get PCI IRQs", "EIO", 1);
  testing::internal::CaptureStderr();
  query_pci_irqs(tables_, control);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "get PCI IRQs: Input/output error\n");
  EXPECT_EQ(tables_.irq[5], nullptr);
}

}  // namespace
