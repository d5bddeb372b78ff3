// Which added cards initialise on activation, what they bring, and firmware.
#include "simtest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using kvltest::SimMachine;
using simtest::activate;
using simtest::add_card;
using simtest::card_info;
using simtest::req;

const char *kMachine = R"({
  "drivers": [{"name": "PNP", "key": 1}, {"name": "SB", "key": 3}, {"name": "PCIX", "key": 20},
              {"name": "DSP", "key": 30}],
  "isa": [{"card": "sb16", "driver": "SB", "port": "0x220", "irq": 5, "dma": 1, "dma2": 5,
           "audio": [{"name": "SB DSP"}], "mixers": ["SB mixer"], "synths": ["OPL"]},
          {"card": "dsp", "driver": "DSP", "port": "0x300", "irq": 9,
           "audio": [{"name": "DSP out", "channels": 6, "ac3": true}]}],
  "pnp": [{"id": "CTL0044", "audio": ["PnP DSP"]}],
  "pci": [{"name": "PCIX", "driver": "PCIX", "irq": 11, "audio": ["PCI a", "PCI b"]}],
  "firmware": {"DSP": 3000}
})";

struct Added {
  int key, port, irq, dma1, dma2;
  int initialized;
};

// One card at a time against the hardware of kMachine.
TEST(Activation, CardsMatchTheHardwarePresent) {
  const std::vector<Added> cases = {
      {3, 0x220, 5, 1, 5, 1},   // exactly the ISA card
      {3, 0x240, 5, 1, 5, 0},   // another port
      {3, 0x220, 7, 1, 5, 0},   // another IRQ
      {3, 0x220, 5, 3, 5, 0},   // another first DMA channel
      {3, 0x220, 5, 1, -1, 0},  // second DMA channel missing
      {20, 0, 0, -1, -1, 1},    // a PCI driver finds its card
      {1, 0x20b, 0, -1, -1, 1}, // the plug-and-play bus with a card on it
      {30, 0x300, 9, -1, -1, 0} // right resources, but no firmware
  };
  for (const auto &c : cases) {
    SimMachine m(kMachine);
    ASSERT_EQ(add_card(m, c.key, "x", c.port, c.irq, c.dma1, c.dma2), 0);
    ASSERT_EQ(activate(m), 0);
    kvl::CardInfo ci = card_info(m, 0);
    EXPECT_EQ(ci.key, c.key);
    EXPECT_EQ(ci.initialized, c.initialized) << "key " << c.key << " port " << std::hex << c.port;
  }
}

// A PCI card named by a card header comes up without Add card, under its
// first or second word, or the second word with PCI read as SUB; other
// headers bring nothing.
TEST(Activation, CardHeadersBringUpThePciCardsTheyName) {
  const char *machine = R"({
    "drivers": [{"name": "SB", "key": 3}, {"name": "ENVY", "key": 21}, {"name": "ICH", "key": 22}],
    "isa": [{"card": "sb16", "driver": "SB", "port": "0x220", "irq": 5, "dma": 1, "dma2": 5}],
    "pci": [{"name": "ENVY24 PCI1412", "driver": "ENVY", "irq": 10, "audio": ["Envy out"]},
            {"name": "ICH5", "driver": "ICH", "irq": 11, "audio": ["ICH out"]}]})";
  struct Case {
    std::vector<std::string> headers;
    std::vector<int> keys;  // of the cards after the added SB card
  };
  const std::vector<Case> cases = {
      {{"ENVY24"}, {21}},
      {{"SUB1412", "ICH5"}, {21, 22}},
      {{"PCI1412"}, {21}},
      {{"ICH5", "ICH5"}, {22}},  // one card, however often named
      {{"sb16", "NOPE"}, {}},
  };
  for (const auto &c : cases) {
    SimMachine m(machine);
    for (const auto &h : c.headers) {
      kvl::CardHeaderRecord r = {};
      std::snprintf(r.name, sizeof r.name, "%s", h.c_str());
      ASSERT_EQ(req(m, kvl::CTL_CARD_HEADER, &r), 0);
    }
    ASSERT_EQ(add_card(m, 3, "SB", 0x220, 5, 1, 5), 0);
    ASSERT_EQ(activate(m), 0);
    EXPECT_EQ(card_info(m, 0).key, 3);
    for (size_t i = 0; i < c.keys.size(); i++) {
      kvl::CardInfo ci = card_info(m, static_cast<int>(i) + 1);
      EXPECT_EQ(ci.key, c.keys[i]) << c.headers[0];
      EXPECT_EQ(ci.initialized, 1);
      EXPECT_EQ(ci.irq, c.keys[i] == 21 ? 10 : 11);
    }
    EXPECT_EQ(card_info(m, static_cast<int>(c.keys.size()) + 1).key, 0) << c.headers[0];
  }
}

TEST(Activation, PnpBusNeedsPlugAndPlayHardware) {
  SimMachine m(R"({"drivers": [{"name": "PNP", "key": 1}]})");
  ASSERT_EQ(add_card(m, 1, "PNP", 0, 0, -1, -1), 0);
  ASSERT_EQ(activate(m), 0);
  EXPECT_EQ(card_info(m, 0).initialized, 0);
}

TEST(Activation, CardsAreReportedOnlyOnceStarted) {
  SimMachine m(kMachine);
  ASSERT_EQ(add_card(m, 3, "SB", 0x220, 5, 1, 5), 0);
  ASSERT_EQ(add_card(m, 20, "PCIX", 0, 0, -1, -1), 0);
  ASSERT_EQ(add_card(m, 20, "PCIX", 0, 0, -1, -1), 0);  // only one such card present
  int32_t n = -1;
  ASSERT_EQ(req(m, kvl::CTL_GET_NCARDS, &n), 0);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(card_info(m, 0).key, 0);

  ASSERT_EQ(activate(m), 0);
  ASSERT_EQ(req(m, kvl::CTL_GET_NCARDS, &n), 0);
  EXPECT_EQ(n, 3);
  kvl::CardInfo ci = card_info(m, 0);
  EXPECT_EQ(ci.key, 3);
  EXPECT_EQ(ci.port, 0x220);
  EXPECT_EQ(ci.irq, 5);
  EXPECT_EQ(ci.dma1, 1);
  EXPECT_EQ(ci.dma2, 5);
  EXPECT_EQ(ci.initialized, 1);
  EXPECT_EQ(card_info(m, 1).initialized, 1);
  EXPECT_EQ(card_info(m, 2).initialized, 0);
  EXPECT_EQ(card_info(m, 3).key, 0);
  EXPECT_EQ(card_info(m, -1).key, 0);

  int32_t status = 0;
  ASSERT_EQ(req(m, kvl::CTL_GET_STATUS, &status), 0);
  EXPECT_NE(status, 0);
  EXPECT_EQ(add_card(m, 3, "SB", 0x220, 5, 1, 5), -EBUSY);
  EXPECT_EQ(activate(m), -EBUSY);
  EXPECT_EQ(add_card(kvltest::SimMachine(kMachine), 99, "none", 0, 0, -1, -1), -ENXIO);

  // The devices of the cards that started, in card order.
  kvl::SysInfo si{};
  ASSERT_EQ(req(m, kvl::KVL_SYSINFO, &si), 0);
  int32_t numaudios = 0;
  std::memcpy(&numaudios, reinterpret_cast<char *>(&si) + 196, 4);
  EXPECT_EQ(numaudios, 3);
  EXPECT_EQ(si.numcards, 3);
  EXPECT_EQ(si.versionnum, kvl::DRIVER_VERSION);
  kvl::AudioInfo ai{};
  ai.dev = 2;
  ASSERT_EQ(req(m, kvl::SNDCTL_AUDIOINFO, &ai), 0);
  EXPECT_STREQ(ai.name, "PCI b");
  EXPECT_EQ(ai.max_channels, 2);
  EXPECT_EQ(ai.oformats & kvl::AFMT_AC3, 0);
  ai.dev = 3;
  EXPECT_EQ(req(m, kvl::SNDCTL_AUDIOINFO, &ai), -ENXIO);
  auto s = simtest::state(m);
  EXPECT_EQ(s["mixers"], nlohmann::json::parse(R"(["SB mixer"])"));
  EXPECT_EQ(s["synths"], nlohmann::json::parse(R"(["OPL"])"));
  EXPECT_EQ(kvltest::read_file(m.root() + "/sequencer.synths"), "OPL\n");
}

// Sends an image of total bytes to the driver DSP in chunks of 2048.
int send_image(const SimMachine &m, int total, int skip_chunk = -1) {
  std::vector<unsigned char> image(total);
  for (int i = 0; i < total; i++) image[i] = static_cast<unsigned char>(i * 7);
  int chunk = 0;
  for (int off = 0; off < total; off += 2048, chunk++) {
    if (chunk == skip_chunk) continue;
    kvl::CardCommandRecord r{};
    std::strcpy(r.name, "DSP");
    r.command = kvl::CMD_DOWNLOAD;
    auto *p = reinterpret_cast<kvl::DownloadPayload *>(r.payload);
    p->first = off == 0;
    p->length = std::min(2048, total - off);
    p->last = off + p->length == total;
    p->total = total;
    p->offset = off;
    std::memcpy(p->data, image.data() + off, p->length);
    int rc = req(m, kvl::CTL_CARD_COMMAND, &r);
    if (rc < 0) return rc;
  }
  return 0;
}

int dsp_initialized(const SimMachine &m) {
  if (add_card(m, 30, "DSP", 0x300, 9, -1, -1) < 0 || activate(m) < 0) return -1;
  return card_info(m, 0).initialized;
}

TEST(Activation, FirmwareMustArriveWhole) {
  {
    SimMachine m(kMachine);
    ASSERT_EQ(send_image(m, 3000), 0);
    EXPECT_EQ(dsp_initialized(m), 1);
    auto chunks = m.requests("Config");
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0]["first"], 1);
    EXPECT_EQ(chunks[0]["last"], 0);
    EXPECT_EQ(chunks[1]["offset"], 2048);
    EXPECT_EQ(chunks[1]["length"], 952);
    EXPECT_EQ(chunks[1]["last"], 1);
    EXPECT_EQ(chunks[0]["checksum"].get<std::string>().size(), 8u);
    EXPECT_NE(chunks[0]["checksum"], chunks[1]["checksum"]);
    EXPECT_FALSE(chunks[0].contains("data"));
    EXPECT_EQ(simtest::state(m)["firmware"]["DSP"]["complete"], true);
  }
  {
    SimMachine m(kMachine);  // an image of another size
    ASSERT_EQ(send_image(m, 2999), 0);
    EXPECT_EQ(dsp_initialized(m), 0);
  }
  {
    SimMachine m(kMachine);  // the first chunk lost: the rest is refused
    EXPECT_EQ(send_image(m, 3000, 0), -EINVAL);
    EXPECT_EQ(dsp_initialized(m), 0);
  }
  {
    SimMachine m(kMachine);  // the last chunk never came
    ASSERT_EQ(send_image(m, 4096 + 10, 2), 0);
    EXPECT_EQ(dsp_initialized(m), 0);
  }
}

TEST(Activation, ChecksumIsCrc32OfTheChunk) {
  SimMachine m(R"({"drivers": [{"name": "DSP", "key": 30}]})");
  kvl::CardCommandRecord r{};
  std::strcpy(r.name, "DSP");
  r.command = kvl::CMD_DOWNLOAD;
  auto *p = reinterpret_cast<kvl::DownloadPayload *>(r.payload);
  p->first = p->last = 1;
  p->total = p->length = 9;
  std::memcpy(p->data, "123456789", 9);
  ASSERT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), 0);
  EXPECT_EQ(m.requests("Config")[0]["checksum"], "cbf43926");
  p->length = 2049;
  EXPECT_EQ(req(m, kvl::CTL_CARD_COMMAND, &r), -EINVAL);
}

}  // namespace
