// Text helpers of the start-up readers.
#include "start/text.h"

namespace kvl {

bool read_line(std::FILE *in, std::string &line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::getc(in)) != EOF) {
    any = true;
    if (c == '\n') return true;
    line += static_cast<char>(c);
  }
  return any;
}

std::string_view rest_after(std::string_view line, std::string_view word) {
  size_t end = static_cast<size_t>(word.data() - line.data()) + word.size();
  if (end >= line.size()) return {};
  return line.substr(end + 1);  // skip the one blank that ended the word
}

}  // namespace kvl
