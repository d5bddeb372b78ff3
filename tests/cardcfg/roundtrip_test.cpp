// A configuration written, read back and written again is byte-identical.
#include "cardcfg/cardlist.h"
#include "cardcfg/devices_cfg.h"
#include "fixture.h"
#include "support.h"

namespace cardtest {
namespace {

using namespace kvl;

const char LIS[] =
    "isaaud kvl_isa\nisamidi kvl_midi\nisasynth kvl_isa\nfwaud kvl_fw\nessfm kvl_fm\n"
    "essmpu kvl_midi\nessaud kvl_ess\nessjoy kvl_joy\ncsaud kvl_cs\ncsctl kvl_cs\n"
    "csmpu kvl_midi\nctlwave kvl_wave\npnpaud kvl_pnpaud\npciaud kvl_pci\nusbaud kvl_usb\n";
const char DEP[] =
    "kvl_core [kvl_isa kvl_fw kvl_ess kvl_cs]\nkvl_midi_core [kvl_midi]\n"
    "usbcore [kvl_usb]\npnpcore [pnp]\n";

const char DEVICES_CFG[] =
    "# Use audset to edit this file.\n"
    "/DSPX\n"
    "/SECUREAUDIO ON\n"
    "/PCIIRQ 5 9 31\n"
    "/IRQEXCLUDE 3 4\n"
    "/DMAEXCLUDE 0 2 7\n"
    "/PNPPORT 20b\n"
    "-KVLISA1 #Kelvane ISA test card\n"
    "/CONTROL isaaud mixmap=line,cd\n"
    "isafw $LOADBIN /lib/kvl/isa1.bin\n"
    "isaaud ON P220 I5 i7 D1 d5\n"
    "isamidi OFF\n"
    "isasynth ON P388\n"
    "#NEEDS_ISA\n"
    "-KVLISA2 #Kelvane hex firmware test card\n"
    "hexfw $LOADHEX /lib/fw/kvl2.hex\n"
    "fwaud ON P300 I10 D0\n"
    "#NEEDS_ISA\n"
    "-ESS0968 #ESS test card\n"
    "/PNPDEV ESS0968 P220 P388 P330 I5 D1\n"
    "/PNPDEV ESS0969 P220 P388 P330 I5 D1\n"
    "essfm OPNP P388\n"
    "essmpu OPNP P330\n"
    "essaud OPNP P220 I5 D1\n"
    "-CSCA836 #Crystal test card\n"
    "/PNPDEV CSCA800 P534 P120 P# I9 D0 D3\n"
    "/PNPDEV CSC9407 P330 I11\n"
    "/PNPDEV CSCA805 P328\n"
    "/PNPDEV CSCA810 P538\n"
    "csaud OPNP P534 I9 D0 d3\n"
    "csctl OPNP P120\n"
    "csmpu OPNP P330 I11\n"
    "-CTL00A5 #Wave test card\n"
    "/PNPDEV CTL0021 P# P# P#\n"
    "-KVLP001 #Plug-and-play card without layout\n"
    "pnpaud OPNP P240 I7\n"
    "-KVLPCI1 #PCI test card\n"
    "pciaud ON\n"
    "#NEEDS_MMPCI\n"
    "-KVLUSB1 #USB test card\n"
    "usbaud ON\n"
    "#NEEDS_USB\n"
    "PNP P20b\n";

const char MODULES_CFG[] =
    "kvl_core\nkvl_isa\nkvl_midi_core\nkvl_midi\nkvl_fw\nkvl_fm\nkvl_ess\nkvl_joy\nkvl_cs\n"
    "kvl_wave\nkvl_pnpaud\nkvl_pci\nusbcore\nkvl_usb\npnpcore\npnp\n";

TEST_F(CardcfgTest, WrittenConfigurationReadsBackAndWritesIdentically) {
  load_lists(LIS, DEP);
  build_standard_config();
  std::string devices = dir_ + "/etc/devices.cfg", modules = dir_ + "/etc/modules.cfg";
  std::string why;
  ASSERT_EQ(write_device_config(model(), db(), asker(), devices.c_str(), modules.c_str(), &why), 0)
      << why;
  EXPECT_EQ(kvltest::read_file(devices), DEVICES_CFG);
  EXPECT_EQ(kvltest::read_file(modules), MODULES_CFG);
  EXPECT_EQ(notices(), std::vector<std::string>{
                           "Warning: some devices are disabled (see Manual configuration menu)"});

  reset_model();
  load_lists(LIS, DEP);
  read_devices_cfg(model(), db(), asker(), devices.c_str());
  EXPECT_EQ(model().settings.first_configuration, 0);
  // "/PNPPRESERVE" is read but never written, so it does not survive a save.
  EXPECT_EQ(model().settings.pnp_preserve, 0);
  std::string devices2 = dir_ + "/etc/devices2.cfg", modules2 = dir_ + "/etc/modules2.cfg";
  ASSERT_EQ(write_device_config(model(), db(), asker(), devices2.c_str(), modules2.c_str(), &why), 0)
      << why;
  EXPECT_EQ(kvltest::read_file(devices2), DEVICES_CFG);
  EXPECT_EQ(kvltest::read_file(modules2), MODULES_CFG);
}

}  // namespace
}  // namespace cardtest
