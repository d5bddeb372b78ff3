#include "hwdb/hwdb_scramble.h"

#include <bit>
#include <cstring>

namespace kvl {

uint32_t hwdb_scramble_step(uint32_t state) { return state * 1664525u + 1013904223u; }

void hwdb_scrambler_init(HwdbScrambler *s, uint64_t file_size) {
  s->state = static_cast<uint32_t>((file_size + 3) & ~uint64_t{3});
  s->key = 0;
  s->pos = 4;
}

void hwdb_scramble(HwdbScrambler *s, unsigned char *buf, size_t n) {
  size_t i = 0;
  // The rest of a word that an earlier block began.
  for (; i < n && s->pos < 4; i++, s->pos++)
    buf[i] ^= static_cast<unsigned char>(s->key >> (8 * s->pos));
  // Whole words, the generator's state kept in a register.
  uint32_t state = s->state;
  for (; n - i >= 4; i += 4) {
    state = hwdb_scramble_step(state);
    if constexpr (std::endian::native == std::endian::little) {
      uint32_t word;
      std::memcpy(&word, buf + i, sizeof word);
      word ^= state;
      std::memcpy(buf + i, &word, sizeof word);
    } else {
      for (int b = 0; b < 4; b++) buf[i + b] ^= static_cast<unsigned char>(state >> (8 * b));
    }
  }
  s->state = state;
  s->key = state;  // the output of the word begun last, as the state is
  // The start of a word that the next block ends.
  if (i < n) {
    s->state = hwdb_scramble_step(s->state);
    s->key = s->state;
    for (s->pos = 0; i < n; i++, s->pos++)
      buf[i] ^= static_cast<unsigned char>(s->key >> (8 * s->pos));
  }
}

}  // namespace kvl
