#include "crc32.h"

#include <array>

namespace kvl {

namespace {

// The byte table of zlib's polynomial (reflected 0xedb88320): one lookup per
// byte instead of eight shifts, since every firmware chunk is summed twice.
constexpr std::array<uint32_t, 256> make_table() {
  std::array<uint32_t, 256> t{};
  for (uint32_t b = 0; b < 256; b++) {
    uint32_t c = b;
    for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    t[b] = c;
  }
  return t;
}

constexpr std::array<uint32_t, 256> kTable = make_table();

}  // namespace

uint32_t crc32_update(uint32_t crc, const unsigned char *p, size_t n) {
  crc = ~crc;
  for (size_t i = 0; i < n; i++) crc = (crc >> 8) ^ kTable[(crc ^ p[i]) & 0xffu];
  return ~crc;
}

}  // namespace kvl
