// Plug-and-play identifiers and the words of "/PNPDEV" lines.
#include "cardcfg/pnp_device.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace kvl;

TEST(PnpId, TextToCompressedForm) {
  const struct {
    const char *text;
    uint32_t id;
  } cases[] = {
      {"@@@0001", 0x00000001}, {"@H@0001", 0x01000001}, {"@X@0001", 0x03000001},
      {"CTL0031", 0x0E8C0031}, {"ESS1868", 0x16731868}, {"CTL003", 0},
      {"CTL00311", 0},         {"", 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(static_cast<uint32_t>(pnp_id_from_text(c.text)), c.id) << c.text;
}

std::vector<int> list(const int32_t *v, int n) { return std::vector<int>(v, v + n); }

TEST(PnpDeviceLine, WordsFillTheRecord) {
  PnpDeviceRecord rec;
  ASSERT_EQ(parse_pnp_device("CTL0031 P220 P# Pzz I5 I# Ix D1 D# D9q x  #", &rec), 0);
  EXPECT_EQ(static_cast<uint32_t>(rec.id), 0x0E8C0031u);
  EXPECT_EQ(list(rec.ports, rec.nports), (std::vector<int>{0x220, 0, 0}));
  EXPECT_EQ(list(rec.irqs, rec.nirqs), (std::vector<int>{5, 2, 2}));
  EXPECT_EQ(list(rec.dmas, rec.ndmas), (std::vector<int>{1, 4, 4}));
  EXPECT_EQ(rec.trailing, 0);

  EXPECT_EQ(parse_pnp_device("", &rec), -1);
  EXPECT_EQ(parse_pnp_device(" P220", &rec), -1);
}

TEST(PnpDeviceLine, EntriesPastEightAreDropped) {
  std::string text = "CTL0031";
  for (int i = 1; i <= 10; i++) text += " P" + std::to_string(200 + i) + " I" + std::to_string(i);
  PnpDeviceRecord rec;
  EXPECT_EQ(parse_pnp_device(text, &rec), 4);
  EXPECT_EQ(rec.nports, 8);
  EXPECT_EQ(rec.ports[7], 0x208);
  EXPECT_EQ(rec.nirqs, 8);
  EXPECT_EQ(rec.irqs[7], 8);
  EXPECT_EQ(rec.ndmas, 0);
}

}  // namespace
