// The scrambling of etc/config.dat. Each 32-bit little-endian word of the file
// is XORed with the next output of a linear congruential generator whose state
// starts at the file size rounded up to a multiple of 4; the last partial word
// uses the low bytes of its output. Applying it twice gives the bytes back, so
// the generator scrambles with the same code that the loader descrambles with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvl {

struct HwdbScrambler {
  uint32_t state;  // generator state
  uint32_t key;    // output for the current word
  int pos;         // byte of the current word to take next, 0..3 (4: need a new word)
};

// The generator's next state and output: state * 1664525 + 1013904223.
uint32_t hwdb_scramble_step(uint32_t state);

// Starts a scrambler for a file of file_size bytes.
void hwdb_scrambler_init(HwdbScrambler *s, uint64_t file_size);

// Scrambles (or descrambles) the next n bytes of the file in place; blocks may
// end anywhere, the words run on from one call to the next.
void hwdb_scramble(HwdbScrambler *s, unsigned char *buf, size_t n);

}  // namespace kvl
