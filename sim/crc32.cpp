#include "crc32.h"

namespace kvl {

uint32_t crc32_update(uint32_t crc, const unsigned char *p, size_t n) {
  crc = ~crc;
  for (size_t i = 0; i < n; i++) {
    crc ^= p[i];
    for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace kvl
