#include "hwdb/hwdb_scramble.h"

namespace kvl {

uint32_t hwdb_scramble_step(uint32_t state) { return state * 1664525u + 1013904223u; }

void hwdb_scrambler_init(HwdbScrambler *s, uint64_t file_size) {
  s->state = static_cast<uint32_t>((file_size + 3) & ~uint64_t{3});
  s->key = 0;
  s->pos = 4;
}

void hwdb_scramble(HwdbScrambler *s, unsigned char *buf, size_t n) {
  for (size_t i = 0; i < n; i++) {
    if (s->pos == 4) {
      s->state = hwdb_scramble_step(s->state);
      s->key = s->state;
      s->pos = 0;
    }
    buf[i] ^= static_cast<unsigned char>(s->key >> (8 * s->pos));
    s->pos++;
  }
}

}  // namespace kvl
