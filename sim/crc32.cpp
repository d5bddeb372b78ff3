#include "crc32.h"

#include <array>

namespace kvl {

namespace {

using Tables = std::array<std::array<uint32_t, 256>, 8>;

// The byte tables of zlib's polynomial (reflected 0xedb88320), sliced by 8:
// table 0 is the classic one lookup per byte; table k gives a byte's effect
// k bytes further on, so eight bytes take eight independent lookups. Every
// firmware chunk is summed twice.
constexpr Tables make_tables() {
  Tables t{};
  for (uint32_t b = 0; b < 256; b++) {
    uint32_t c = b;
    for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    t[0][b] = c;
  }
  for (size_t k = 1; k < 8; k++)
    for (uint32_t b = 0; b < 256; b++) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xffu];
  return t;
}

constexpr Tables kTables = make_tables();

}  // namespace

uint32_t crc32_update(uint32_t crc, const unsigned char *p, size_t n) {
  crc = ~crc;
  for (; n >= 8; n -= 8, p += 8) {
    uint32_t lo = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                         uint32_t(p[3]) << 24);
    crc = kTables[7][lo & 0xffu] ^ kTables[6][(lo >> 8) & 0xffu] ^
          kTables[5][(lo >> 16) & 0xffu] ^ kTables[4][lo >> 24] ^ kTables[3][p[4]] ^
          kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]];
  }
  for (; n > 0; n--, p++) crc = (crc >> 8) ^ kTables[0][(crc ^ *p) & 0xffu];
  return ~crc;
}

}  // namespace kvl
