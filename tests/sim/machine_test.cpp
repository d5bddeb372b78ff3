// Reading machine.json: defaults, and one clear reason for a bad machine.
#include "sim/machine.h"

#include <gtest/gtest.h>

namespace {

TEST(Machine, DefaultsAndNumberForms) {
  kvl::Machine m;
  std::string err;
  ASSERT_EQ(kvl::machine_parse(R"({"drivers": [{"name": "a", "key": "0x10"}, {"name": "b", "key": 2}],
                                   "isa": [{"card": "c", "driver": "a", "port": "0x220"}],
                                   "pnp": [{"id": "CTL0044", "resources": "01 FF"}]})",
                               m, err),
            0)
      << err;
  EXPECT_EQ(m.version, 0x039999);
  EXPECT_EQ(m.major, 14);
  EXPECT_EQ(m.driver_slots, 2);
  EXPECT_EQ(m.drivers[0].key, 16);
  EXPECT_EQ(m.isa[0].port, 0x220);
  EXPECT_EQ(m.isa[0].irq, 0);
  EXPECT_EQ(m.isa[0].dma, -1);
  EXPECT_EQ(m.isa[0].dma2, -1);
  ASSERT_EQ(m.pnp[0].resources.size(), 2u);
  EXPECT_EQ(m.pnp[0].resources[1], 0xff);
}

TEST(Machine, BadMachinesAreRefusedWithTheirReason) {
  struct Case {
    const char *json;
    const char *reason;
  };
  const Case cases[] = {
      {"{", "parse error"},
      {"[]", "machine: expected an object"},
      {R"({"major": "x14"})", "major: expected a number"},
      {R"({"major": 300})", "major: must be 1..255"},
      {R"({"drivers": [{"key": 1}]})", "drivers[0]: missing \"name\""},
      {R"({"drivers": [{"name": "a"}]})", "drivers[0]: needs a type key"},
      {R"({"isa": {}})", "isa: expected a list"},
      {R"({"pnp": [{"id": "CTL44"}]})", "pnp[0].id: must be seven characters"},
      {R"({"pnp": [{"id": "CTL0044", "resources": "0g"}]})", "bad hexadecimal byte \"0g\""},
      {R"({"pci": [{"name": "x"}]})", "pci[0]: missing \"driver\""},
      {R"({"firmware": {"DSP": 0}})", "firmware.DSP: image size must be above 0"},
      {R"({"faults": [{"request": "Get version", "errno": "EWHAT"}]})", "unknown errno name \"EWHAT\""},
      {R"({"faults": [{"errno": "EIO"}]})", "needs either \"request\" or \"open\""},
      {R"({"faults": [{"open": "/dev/a\nb", "errno": "EIO"}]})", "faults[0].open: holds a line break"},
      {R"({"isa": [{"card": "c", "driver": "d", "audio": [{"name": "x", "ac3": 1}]}]})",
       "isa[0].audio[0].ac3: expected true or false"},
  };
  for (const auto &c : cases) {
    kvl::Machine m;
    std::string err;
    EXPECT_EQ(kvl::machine_parse(c.json, m, err), -1) << c.json;
    EXPECT_NE(err.find(c.reason), std::string::npos) << c.json << " gave: " << err;
    EXPECT_EQ(err.find('\n'), std::string::npos) << err;
  }
}

TEST(Machine, DemoMachineIsValid) {
  kvl::Machine m;
  std::string err;
  ASSERT_EQ(kvl::machine_parse(kvl::demo_machine_json(), m, err), 0) << err;
  EXPECT_EQ(m.version, 0x039999);
  EXPECT_GE(kvl::machine_driver_by_name(m, "PNP"), 0);
  EXPECT_FALSE(m.isa.empty());
  EXPECT_FALSE(m.pnp.empty());
  EXPECT_FALSE(m.pci.empty());
}

TEST(Machine, PnpIdentifiersRoundTrip) {
  EXPECT_EQ(kvl::pnp_id_number("@X@0001"), 0x03000001);
  EXPECT_EQ(kvl::pnp_id_text(0x03000001), "@X@0001");
  EXPECT_EQ(kvl::pnp_id_text(kvl::pnp_id_number("CTL0044")), "CTL0044");
  EXPECT_EQ(kvl::pnp_id_number("CTL044"), 0);
}

}  // namespace
