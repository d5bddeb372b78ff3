// Small text helpers of the configuration readers and writers.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace kvl {

// The text of a fixed-width field: up to its first NUL or its full width.
template <size_t N>
std::string_view field_text(const char (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n]) n++;
  return std::string_view(field, n);
}

// Copies text into a field of N bytes, cut to N - 1 bytes, NUL-terminated.
template <size_t N>
void copy_field(char (&field)[N], std::string_view text) {
  size_t n = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(field, n);
  field[n] = '\0';
}

// Reads all of text as a number in base 10 (an optional leading "-") or 16.
// Returns 0, or -1 when text is empty, holds anything else or exceeds an int.
int parse_number(std::string_view text, int base, int *out);

// Reads the next piece of a line: up to its newline (removed) or max
// characters, the rest of a longer line being the next piece. Returns false
// at the end of the stream.
bool read_piece(std::istream &in, std::string &piece, size_t max);

// Appends printf-style formatted text.
void appendf(std::string &out, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

}  // namespace kvl
