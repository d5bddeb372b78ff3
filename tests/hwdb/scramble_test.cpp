// The scrambling generator and its use on arbitrary block boundaries.
#include "hwdb/hwdb_scramble.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string scrambled(std::string b, size_t chunk) {
  kvl::HwdbScrambler s;
  kvl::hwdb_scrambler_init(&s, b.size());
  for (size_t at = 0; at < b.size(); at += chunk) {
    size_t n = std::min(chunk, b.size() - at);
    kvl::hwdb_scramble(&s, reinterpret_cast<unsigned char *>(b.data() + at), n);
  }
  return b;
}

TEST(Scramble, SixByteFileUsesTheFirstTwoOutputsFromEight) {
  EXPECT_EQ(kvl::hwdb_scramble_step(8), 0x3D3A23C7u);
  EXPECT_EQ(kvl::hwdb_scramble_step(0x3D3A23C7u), 0x01130E7Au);
  std::string zeros(6, '\0');
  EXPECT_EQ(scrambled(zeros, 2048), std::string("\xC7\x23\x3A\x3D\x7A\x0E", 6));
}

TEST(Scramble, BlockBoundariesDoNotMatterAndTwiceGivesTheBytesBack) {
  std::string data;
  for (int i = 0; i < 5003; i++) data += static_cast<char>(i * 7 + 3);
  std::string whole = scrambled(data, data.size());
  for (size_t chunk : {1u, 3u, 5u, 7u, 13u, 2048u}) EXPECT_EQ(scrambled(data, chunk), whole) << chunk;
  EXPECT_NE(whole, data);
  EXPECT_EQ(scrambled(whole, 2048), data);
}

}  // namespace
