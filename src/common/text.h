// Text helpers of every configuration reader and writer: fixed-width record
// fields, numbers, lines of a text, whole files.
#pragma once

#include <cstddef>
#include <cstdio>
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

// Takes the next line off the front of text into line, without its newline
// and without one carriage return before it (or at the end of the text), so
// files saved with CRLF line ends read as their LF twins. A line longer than
// max characters is taken in pieces of max characters, the rest being the
// next line; a piece of exactly max characters followed by its line end takes
// the line end too. Returns false when text is empty (a last line without
// newline is still a line).
bool next_line(std::string_view &text, std::string_view &line,
               size_t max = std::string_view::npos);

// next_line for the readers of configuration files, counting lines in
// *number (1 for the first; a line taken in pieces counts each piece).
// Returns 1 for a line to use, 0 at the end of the text, and -1 for a line
// that holds a NUL byte: such a line is refused, the caller reports it with
// nul_line_message and goes on with the next.
int next_config_line(std::string_view &text, std::string_view &line, int *number,
                     size_t max = std::string_view::npos);

// "FILE: line N contains a NUL byte".
std::string nul_line_message(std::string_view file, int number);

// At most this many characters of a line or command are quoted in a message.
constexpr size_t MESSAGE_QUOTE_MAX = 200;

// The text a message quotes: text itself, or its first MESSAGE_QUOTE_MAX
// characters followed by "..." when it is longer, so a huge line in a file
// gives a readable log line.
std::string quote_text(std::string_view text);

// The text after word and the single blank that follows it; empty when the
// line ends with word. word must be a view into line.
std::string_view rest_after(std::string_view line, std::string_view word);

// Reads the whole file at path into text. Returns 0, or -1 with errno set.
int read_text_file(const char *path, std::string &text);

// Reads the installation's file DIR/REL into text. Returns 0, or -1 after
// "DIR/REL: error text" on standard error; a missing file (ENOENT) is said
// only when missing_quiet is false. errno stays that of the failure.
int read_install_file(const std::string &dir, const char *rel, std::string &text,
                      bool missing_quiet);

// Reads in to its end into text. Returns 0, or -1 with errno set on a read
// error (text then holds what was read).
int read_stream(std::FILE *in, std::string &text);

// Appends printf-style formatted text.
void appendf(std::string &out, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

}  // namespace kvl
