// Text helpers of the start-up readers: whole lines from a stream and the
// rest of a line after one of its words.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kvl {

// Reads the next line of in, of any length, without its newline. Returns
// false at the end of the stream (a last line without newline is still read).
bool read_line(std::FILE *in, std::string &line);

// The text after word and the single blank that follows it; empty when the
// line ends with word. word must be a view into line.
std::string_view rest_after(std::string_view line, std::string_view word);

}  // namespace kvl
