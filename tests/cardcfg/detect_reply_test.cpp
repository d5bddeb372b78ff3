// The readers of the driver's detection replies, the naming of detected
// cards, and the text of logs/pnpres.dat.
#include "cardcfg/detect.h"
#include "cardcfg/pnp_device.h"
#include "fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kvl;

const unsigned char *bytes(const char *text) { return reinterpret_cast<const unsigned char *>(text); }

TEST(PnpIdText, IsTheInverseOfTheNumber) {
  struct Case {
    const char *text;
    uint32_t id;
  } cases[] = {{"CTL0044", 0x0e8c0044}, {"@@@0001", 0x00000001}, {"@H@0001", 0x01000001},
               {"@X@0001", 0x03000001}, {"ESS1868", 0x16731868}, {"YMH002A", 0x65a8002a}};
  for (const Case &c : cases) {
    EXPECT_EQ(pnp_id_to_text(static_cast<int32_t>(c.id)), c.text);
    EXPECT_EQ(static_cast<uint32_t>(pnp_id_from_text(c.text)), c.id) << c.text;
  }
  // Bit 31 is no letter field; the digits are upper case.
  EXPECT_EQ(pnp_id_to_text(-1), "___FFFF");
  EXPECT_EQ(pnp_id_to_text(static_cast<int32_t>(0x8e8c00abu)), "CTL00AB");
}

TEST(DetectReply, TextEndsAtNulOrLength) {
  EXPECT_EQ(reply_text(bytes("AB\0CD"), 5), "AB");
  EXPECT_EQ(reply_text(bytes("ABCD"), 3), "ABC");
  EXPECT_EQ(reply_text(bytes(""), 0), "");
  std::vector<unsigned char> full(CARD_COMMAND_PAYLOAD, 'x');
  EXPECT_EQ(reply_text(full.data(), full.size()).size(), full.size());
}

TEST(DetectReply, LinesGiveNamesAndPorts) {
  struct Line {
    std::string name;
    int port;
    bool operator==(const Line &) const = default;
  };
  struct Case {
    const char *reply;
    std::vector<Line> lines;
  } cases[] = {
      {"SB16 220\nSBAWE32 240\n", {{"SB16", 0x220}, {"SBAWE32", 0x240}}},
      {"MPU401", {{"MPU401", 0}}},                   // no port, no newline
      {"SB16 xyz\n", {{"SB16", 0}}},                 // no number
      {"SB16   220 \n", {{"SB16", 0x220}}},          // extra blanks
      {"SB16 0x330\n", {{"SB16", 0x330}}},
      {"SB16 0x\n", {{"SB16", 0}}},
      {"SB16 22g\n", {{"SB16", 0x22}}},              // the digits before anything else
      {"SB16 ffff\nSB16 10000\n", {{"SB16", 0xffff}, {"SB16", 0}}},
      {"SB16 123456789abcdef\n", {{"SB16", 0}}},     // far past any port
      {"SB16 220\r\n", {{"SB16", 0x220}}},
      {"SB16\t220\n", {{"SB16\t220", 0}}},           // a tab is no separator
      {"\n 220\n", {{"", 0}, {"", 0x220}}},
      {"", {}},
  };
  for (const Case &c : cases) {
    std::string_view reply = c.reply;
    std::vector<Line> got;
    DetectLine line;
    while (next_detect_line(reply, &line)) got.push_back({std::string(line.name), line.port});
    EXPECT_EQ(got, c.lines) << c.reply;
  }
}

TEST(DetectReply, CardNameIsTwoWordsWithinTheField) {
  struct Case {
    const char *field;
    size_t length;
    const char *first;
    const char *second;
  } cases[] = {
      {"ES1371 PCI1371", 64, "ES1371", "PCI1371"},
      {"ICH5", 64, "ICH5", ""},
      {"A B C", 64, "A", "B"},
      {"A  B", 64, "A", ""},
      {" ES1371", 64, "", "ES1371"},
      {"", 64, "", ""},
      {"ES1371 PCI1371", 9, "ES1371", "PC"},  // the field ends without a NUL
  };
  for (const Case &c : cases) {
    char field[64] = {};
    std::memcpy(field, c.field, std::min(std::strlen(c.field), sizeof field));
    PnpCardName n = read_pnp_card_name(field, c.length);
    EXPECT_EQ(n.first, c.first) << c.field;
    EXPECT_EQ(n.second, c.second) << c.field;
  }
  char full[64];
  std::memset(full, 'x', sizeof full);
  EXPECT_EQ(read_pnp_card_name(full, sizeof full).first.size(), 64u);
}

TEST(DetectReply, DetectedCardsAreNamedByTheTable) {
  static cardtest::Db *db = [] {
    auto *d = new cardtest::Db;
    int dev = d->device("dev", 0);
    for (const char *key : {"CTL0044", "ES1371", "ICH5", "ENVY24", "SUB153B1115", "PCIDUO", "SUBDUO"})
      d->card(key, "card", 0, {dev});
    return d;
  }();
  const HwdbModel &m = db->model();
  struct Case {
    int32_t id;
    const char *text;
    const char *name;
  } cases[] = {
      {pnp_id_from_text("CTL0044"), "Creative SB AWE64", "CTL0044"},  // the identifier names it
      {pnp_id_from_text("CTL0045"), "ICH5", ""},
      {-1, "ENVY24 PCI153B1115", "SUB153B1115"},
      {-1, "ES1371 PCI1371", "ES1371"},
      {-1, "ICH5", "ICH5"},
      {-1, "ES1371 ICH5", "ICH5"},
      {-1, "ES1371 PCIDUO", "SUBDUO"},  // both forms known: the last wins
      {-1, "ES1371 PCI", "ES1371"},
      {-1, "NOSUCH SUB153B1115", ""},  // an unknown first word names nothing
      {-1, "es1371", ""},
      {-1, "", ""},
  };
  for (const Case &c : cases) {
    char field[64] = {};
    std::memcpy(field, c.text, std::min(std::strlen(c.text), sizeof field));
    EXPECT_EQ(detected_card_name(m, c.id, read_pnp_card_name(field, sizeof field)), c.name)
        << c.text;
  }
}

TEST(PnpresText, IrqBitsAreOnlyForIrqs1To31) {
  EXPECT_EQ(irq_mask_bit(1), 2u);
  EXPECT_EQ(irq_mask_bit(31), 1u << 31);
  for (int irq : {0, -1, 32, 40, 255}) EXPECT_EQ(irq_mask_bit(irq), 0u) << irq;

  std::string out;
  append_sharing_warning(out, 0);
  EXPECT_EQ(out, "");
  append_sharing_warning(out, 1u << 2 | 1u << 3 | 1u << 11 | 1u << 15 | 1u << 16 | 1u << 31);
  EXPECT_EQ(out, "\n\nWarning! PCI interrupt sharing detected, IRQ 3 11 15 \n");
}

TEST(PnpresText, DumpIsReadWithinTheRecord) {
  unsigned char data[4000] = {0x44, 0x00, 0x8c, 0x0e};
  for (int i = 4; i < 4000; i++) data[i] = static_cast<unsigned char>(i);
  std::string out;
  append_pnp_resources(out, 2, 17, data, sizeof data);
  EXPECT_EQ(out,
            "Resources for PnP card #2 (CTL0044)\n"
            "0000: 44 00 8c 0e 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f \n"
            "0010: 10 \n\n");

  // A count below zero gives the heading alone; one past the record stops
  // at its end (250 lines of 16 bytes).
  out.clear();
  append_pnp_resources(out, 0, -5, data, sizeof data);
  EXPECT_EQ(out, "Resources for PnP card #0 (CTL0044)\n\n");
  out.clear();
  append_pnp_resources(out, 0, 100000, data, sizeof data);
  EXPECT_EQ(out.size(), std::strlen("Resources for PnP card #0 (CTL0044)") + 250 * (7 + 16 * 3) + 2);
  EXPECT_EQ(out.substr(out.size() - 57), "\n0f90: 90 91 92 93 94 95 96 97 98 99 9a 9b 9c 9d 9e 9f \n\n");
}

}  // namespace
