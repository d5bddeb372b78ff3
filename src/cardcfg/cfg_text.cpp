#include "cardcfg/cfg_text.h"

#include <charconv>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <istream>

namespace kvl {

int parse_number(std::string_view text, int base, int *out) {
  if (text.empty()) return -1;
  if (base == 16 && text[0] == '-') return -1;
  long long v = 0;
  const char *end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, v, base);
  if (ec != std::errc() || p != end || v < INT_MIN || v > INT_MAX) return -1;
  *out = static_cast<int>(v);
  return 0;
}

bool read_piece(std::istream &in, std::string &piece, size_t max) {
  piece.clear();
  int c = in.get();
  if (c == EOF) return false;
  while (c != EOF && c != '\n') {
    piece.push_back(static_cast<char>(c));
    if (piece.size() == max) {
      // A line of exactly max characters is not continued by its newline.
      if (in.peek() == '\n') in.get();
      return true;
    }
    c = in.get();
  }
  return true;
}

void appendf(std::string &out, const char *fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof buf) {
    out.append(buf, n);
    return;
  }
  std::string big(n + 1, '\0');
  va_start(ap, fmt);
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  va_end(ap);
  out.append(big.data(), n);
}

}  // namespace kvl
