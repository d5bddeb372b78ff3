// CRC-32 (the polynomial of zlib and PNG), used to journal firmware chunks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvl {

// Continues crc over n bytes; start with 0. crc32_update(0, "123456789", 9)
// is 0xcbf43926.
uint32_t crc32_update(uint32_t crc, const unsigned char *p, size_t n);

}  // namespace kvl
