// Requests answered from the machine and the state, and how the journal
// decodes them.
#include "simtest.h"

#include <gtest/gtest.h>

namespace {

using kvltest::SimMachine;
using simtest::req;

const char *kTwoDrivers = R"({
  "version": "0x039998", "major": 30, "driver_slots": 5,
  "drivers": [{"name": "a", "key": 7, "description": "first"}, {"name": "b", "key": 9}],
  "isa": [{"card": "cardA", "driver": "a", "port": "0x220", "irq": 5, "dma": 1},
          {"card": "cardA2", "driver": "a", "port": "0x240", "irq": 7, "dma": 3}]
})";

TEST(Requests, HandshakeAnswersFromTheMachine) {
  SimMachine m(kTwoDrivers);
  int32_t v = 0;
  ASSERT_EQ(req(m, kvl::CTL_GET_VERSION, &v), 0);
  EXPECT_EQ(v, 0x039998);
  ASSERT_EQ(req(m, kvl::CTL_GET_STATUS, &v), 0);
  EXPECT_EQ(v, 0);
  ASSERT_EQ(req(m, kvl::CTL_GET_NDRIVERS, &v), 0);
  EXPECT_EQ(v, 5);
  char text[kvl::DRIVER_LIST_BYTES];
  std::memset(text, 'x', sizeof text);
  ASSERT_EQ(req(m, kvl::CTL_GET_DRIVERS, text), 0);
  EXPECT_STREQ(text, "a\nb");
  ASSERT_EQ(req(m, kvl::CTL_GET_DRIVERS_LONG, text), 0);
  EXPECT_STREQ(text, "a:first\nb:");
  int32_t keys[kvl::DRIVER_TYPE_SLOTS];
  std::memset(keys, 0xff, sizeof keys);
  ASSERT_EQ(req(m, kvl::CTL_GET_DRIVER_TYPES, keys), 0);
  EXPECT_EQ(keys[0], 7);
  EXPECT_EQ(keys[1], 9);
  EXPECT_EQ(keys[2], 0);
  EXPECT_EQ(keys[299], 0);

  auto j = m.journal();
  ASSERT_EQ(j.size(), 6u);
  EXPECT_EQ(j[0]["request"], "Get version");
  EXPECT_EQ(j[0]["version"], 0x039998);
  EXPECT_EQ(j[2]["request"], "Get #drivers");
  EXPECT_EQ(j[5]["request"], "Get driver types");
  for (auto &e : j) {
    EXPECT_EQ(e["result"], 0);
    EXPECT_TRUE(e["errno"].is_null());
  }
}

TEST(Requests, JournalDecodesWhatWasSent) {
  SimMachine m(kTwoDrivers);
  kvl::CardHeaderRecord h{};
  std::strcpy(h.description, "Sound card A");
  std::strcpy(h.name, "cardA");
  ASSERT_EQ(req(m, kvl::CTL_CARD_HEADER, &h), 0);
  ASSERT_EQ(simtest::add_card(m, 7, "a", 0x220, 5, 1, -1), 0);
  kvl::OptionRequest o{30, 48000};
  ASSERT_EQ(req(m, kvl::CTL_SET_OPTION, &o), 0);
  kvl::PnpDeviceRecord p{};
  p.id = 0x03000001;  // "@X@0001"
  p.nports = 2;
  p.ports[0] = 0x220;
  p.ports[1] = 0x388;
  p.nirqs = 1;
  p.irqs[0] = 5;
  ASSERT_EQ(req(m, kvl::CTL_SET_PNP_DEVICE, &p), 0);
  kvl::MixerLevels ml{};
  std::strcpy(ml.name, "Mix1");
  ml.levels[0] = 0x6464;
  ASSERT_EQ(req(m, kvl::MIXER_SETLEVELS, &ml), 0);

  auto j = m.journal();
  ASSERT_EQ(j.size(), 5u);
  EXPECT_EQ(j[0], nlohmann::json::parse(R"({"request":"CTL_CARD_HEADER","result":0,"errno":null,
                                            "name":"cardA","description":"Sound card A"})"));
  EXPECT_EQ(j[1], nlohmann::json::parse(R"({"request":"Add card","result":0,"errno":null,"key":7,
                                            "name":"a","port":544,"irq":5,"dma1":1,"dma2":-1})"));
  EXPECT_EQ(j[2]["request"], "Set ioctl");
  EXPECT_EQ(j[2]["id"], 30);
  EXPECT_EQ(j[2]["value"], 48000);
  EXPECT_EQ(j[3]["request"], "Set PnP device");
  EXPECT_EQ(j[3]["id"], "@X@0001");
  EXPECT_EQ(j[3]["ports"], nlohmann::json::parse("[544, 904]"));
  EXPECT_EQ(j[3]["irqs"], nlohmann::json::parse("[5]"));
  EXPECT_EQ(j[3]["dmas"], nlohmann::json::array());
  EXPECT_EQ(j[4]["name"], "Mix1");
  EXPECT_EQ(j[4]["levels"][0], 0x6464);

  auto s = simtest::state(m);
  EXPECT_EQ(s["options"]["30"], 48000);
  EXPECT_EQ(s["mixer_levels"]["Mix1"][0], 0x6464);
  EXPECT_EQ(s["headers"][0]["name"], "cardA");
  EXPECT_EQ(s["pnp_devices"][0]["id"], "@X@0001");

  // A second record for the same logical device replaces the first; one
  // that does not fit the record is refused.
  p.nports = 0;
  ASSERT_EQ(req(m, kvl::CTL_SET_PNP_DEVICE, &p), 0);
  p.ndmas = 9;
  EXPECT_EQ(req(m, kvl::CTL_SET_PNP_DEVICE, &p), -EINVAL);
  s = simtest::state(m);
  ASSERT_EQ(s["pnp_devices"].size(), 1u);
  EXPECT_EQ(s["pnp_devices"][0]["ports"], nlohmann::json::array());
}

TEST(Requests, UnknownCodeIsRefusedAndJournalled) {
  SimMachine m(kTwoDrivers);
  int32_t v = 0;
  EXPECT_EQ(req(m, 0x20046399u, &v), -EINVAL);
  auto j = m.journal();
  ASSERT_EQ(j.size(), 1u);
  EXPECT_EQ(j[0]["errno"], "EINVAL");
  EXPECT_EQ(j[0]["result"], -1);
  EXPECT_EQ(j[0]["code"], "0x20046399");
}

// An isa entry's "reply" is its probe line as written; the others keep
// "CARD PORT".
TEST(Requests, DetectReplyLinesAsGiven) {
  SimMachine m(R"({
    "drivers": [{"name": "a", "key": 7}],
    "isa": [{"card": "cardA", "driver": "a", "port": "0x220", "reply": "cardA"},
            {"card": "cardB", "driver": "a", "port": "0x240"},
            {"card": "cardC", "driver": "a", "port": "0x260", "reply": "cardC   xyz "}]
  })");
  kvl::CardCommandRecord r{};
  std::strcpy(r.name, "a");
  r.command = kvl::CMD_DETECT;
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), 3);
  EXPECT_STREQ(reinterpret_cast<char *>(r.payload), "cardA\ncardB 240\ncardC   xyz \n");
  EXPECT_EQ(m.journal().back()["reply"], "cardA\ncardB 240\ncardC   xyz \n");
}

TEST(Requests, CardCommands) {
  SimMachine m(kTwoDrivers);
  kvl::CardCommandRecord r{};
  std::strcpy(r.name, "a");
  r.command = kvl::CMD_DETECT;
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), 2);
  EXPECT_STREQ(reinterpret_cast<char *>(r.payload), "cardA 220\ncardA2 240\n");
  std::strcpy(r.name, "b");
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), 0);
  EXPECT_STREQ(reinterpret_cast<char *>(r.payload), "");
  std::strcpy(r.name, "nosuch");
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), -ENXIO);

  // Mixer map and parameters name a driver or a card added under that name.
  std::memset(&r, 0, sizeof r);
  std::strcpy(r.name, "renamed");
  r.command = kvl::CMD_MIXMAP;
  r.payload[0] = 6;
  r.payload[1] = 31;
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), -ENXIO);
  ASSERT_EQ(simtest::add_card(m, 7, "renamed", 0x220, 5, 1, -1), 0);
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), 0);
  std::strcpy(r.name, "a");
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), 0);
  r.command = kvl::CMD_PARM;
  r.payload[0] = 1;
  r.payload[1] = 44;
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), 0);
  r.payload[0] = 3;
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), -EINVAL);
  r.command = 99;
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), -EINVAL);

  EXPECT_EQ(simtest::state(m)["card_settings"]["renamed"]["mixmap"], nlohmann::json::parse("[[6, 31]]"));
  auto s = simtest::state(m)["card_settings"]["a"];
  EXPECT_EQ(s["mixmap"], nlohmann::json::parse("[[6, 31]]"));
  EXPECT_EQ(s["parm1"], 44);
  auto j = m.requests("Config");
  EXPECT_EQ(j[0]["reply"], "cardA 220\ncardA2 240\n");
  EXPECT_EQ(j[4]["from"], 6);
  EXPECT_EQ(j[4]["to"], 31);
}

TEST(Requests, PlugAndPlayAndPci) {
  SimMachine m(R"({
    "drivers": [{"name": "PNP", "key": 1}],
    "pnp": [{"id": "CTL0044", "name": "AWE", "resources": "0a ff 10"}],
    "pci": [{"name": "ES1371 PCI1371", "driver": "X", "irq": 11},
            {"name": "ICH5", "driver": "Y", "irq": 2}]
  })");
  int32_t n = -1;
  EXPECT_EQ(req(m, kvl::CTL_PNP_DETECT, &n), 1);
  EXPECT_EQ(n, 1);

  const int32_t ctl0044 = (('C' - 64) << 26) | (('T' - 64) << 21) | (('L' - 64) << 16) | 0x0044;
  kvl::PnpCardInfo ci{};
  ci.id = 0;
  ASSERT_EQ(req(m, kvl::CTL_PNP_CARD_INFO, &ci), 0);
  EXPECT_EQ(ci.id, ctl0044);
  ci = {};
  ci.id = 1;
  ASSERT_EQ(req(m, kvl::CTL_PNP_CARD_INFO, &ci), 0);
  EXPECT_EQ(ci.id, -1);
  EXPECT_STREQ(ci.name, "ES1371 PCI1371");
  EXPECT_EQ(ci.irq, 11);
  ci = {};
  ci.id = 3;
  EXPECT_EQ(req(m, kvl::CTL_PNP_CARD_INFO, &ci), -ENXIO);
  EXPECT_EQ(ci.id, 3);  // a refused record comes back as it was sent

  kvl::PnpResourceDump d{};
  d.count = 0;
  ASSERT_EQ(req(m, kvl::CTL_PNP_RESOURCES, &d), 0);
  ASSERT_EQ(d.count, 7);
  int32_t id = 0;
  std::memcpy(&id, d.data, 4);
  EXPECT_EQ(id, ctl0044);
  EXPECT_EQ(d.data[4], 0x0a);
  EXPECT_EQ(d.data[5], 0xff);
  EXPECT_EQ(d.data[6], 0x10);
  d.count = 1;  // a PCI card has no plug-and-play resources
  EXPECT_EQ(req(m, kvl::CTL_PNP_RESOURCES, &d), -ENXIO);

  int32_t mask = 0;
  ASSERT_EQ(req(m, kvl::CTL_GET_PCI_IRQS, &mask), 0);
  EXPECT_EQ(mask, (1 << 11) | (1 << 2));

  int32_t port = 0x20b;
  EXPECT_EQ(req(m, kvl::CTL_PNP_SET_PORT, &port), 0);
  port = 0x202;
  EXPECT_EQ(req(m, kvl::CTL_PNP_SET_PORT, &port), -EINVAL);
  EXPECT_EQ(req(m, kvl::CTL_PNP_RESTART, nullptr), 0);
  EXPECT_EQ(req(m, kvl::CTL_PNP_END, nullptr), 0);
  EXPECT_EQ(simtest::state(m)["pnp_port"], 0x20b);
  EXPECT_EQ(m.requests("PnP end").size(), 1u);
  EXPECT_EQ(m.requests("PnP set port")[0]["port"], 0x20b);
}

TEST(Requests, PlugAndPlayCardWithoutResourceBytes) {
  // An empty "resources" gives the identifier alone.
  SimMachine m(R"({"drivers": [{"name": "PNP", "key": 1}],
                   "pnp": [{"id": "CTL0044", "name": "AWE", "resources": ""}]})");
  kvl::PnpResourceDump d{};
  d.count = 0;
  ASSERT_EQ(req(m, kvl::CTL_PNP_RESOURCES, &d), 0);
  EXPECT_EQ(d.count, 4);
  EXPECT_EQ(d.data[4], 0);
}

TEST(Requests, RoutingLists) {
  SimMachine m(R"({"drivers": [{"name": "a", "key": 1}],
                   "isa": [{"card": "c", "driver": "a", "port": 1,
                            "audio": ["d0", "d1", "d2"]}]})");
  kvl::RoutingRecord r{};
  r.mode = 2;
  ASSERT_EQ(req(m, kvl::CTL_GET_REROUTE, &r), 0);
  EXPECT_EQ(r.count, 0);  // no devices before the cards start
  ASSERT_EQ(simtest::add_card(m, 1, "a", 1, 0, -1, -1), 0);
  ASSERT_EQ(simtest::activate(m), 0);
  ASSERT_EQ(req(m, kvl::CTL_GET_REROUTE, &r), 0);
  ASSERT_EQ(r.count, 3);
  EXPECT_EQ(r.devices[0], 0);
  EXPECT_EQ(r.devices[2], 2);

  r = {};
  r.mode = 1;
  r.count = 2;
  r.devices[0] = 2;
  r.devices[1] = 0;
  ASSERT_EQ(req(m, kvl::CTL_SET_REROUTE, &r), 0);
  r = {};
  r.mode = 1;
  ASSERT_EQ(req(m, kvl::CTL_GET_REROUTE, &r), 0);
  ASSERT_EQ(r.count, 2);
  EXPECT_EQ(r.devices[0], 2);
  EXPECT_EQ(r.devices[1], 0);

  for (auto [mode, count] : {std::pair{0, 1}, {4, 1}, {3, 65}, {3, -1}}) {
    r = {};
    r.mode = mode;
    r.count = count;
    EXPECT_EQ(req(m, kvl::CTL_SET_REROUTE, &r), -EINVAL) << mode << " " << count;
  }
  r = {};
  r.mode = 7;
  EXPECT_EQ(req(m, kvl::CTL_GET_REROUTE, &r), -EINVAL);
  EXPECT_EQ(m.requests("Set reroute")[0]["devices"], nlohmann::json::parse("[2, 0]"));
}

TEST(Requests, SequencerSynthesizers) {
  SimMachine m(R"({"synths": ["OPL", "GUS"]})");
  int32_t n = 0;
  ASSERT_EQ(req(m, kvl::SNDCTL_SEQ_NRSYNTHS, &n), 0);
  EXPECT_EQ(n, 2);
  kvl::SynthInfo si{};
  si.device = 1;
  ASSERT_EQ(req(m, kvl::SNDCTL_SYNTH_INFO, &si), 0);
  EXPECT_STREQ(si.name, "GUS");
  si.device = 2;
  EXPECT_EQ(req(m, kvl::SNDCTL_SYNTH_INFO, &si), -ENXIO);
  EXPECT_EQ(kvltest::read_file(m.root() + "/sequencer.synths"), "OPL\nGUS\n");
}

}  // namespace
