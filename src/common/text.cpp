#include "common/text.h"

#include "common/common.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdarg>

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

bool next_line(std::string_view &text, std::string_view &line, size_t max) {
  if (text.empty()) return false;
  size_t nl = text.find('\n');
  size_t end = nl == std::string_view::npos ? text.size() : nl;  // the line end
  size_t len = end > 0 && text[end - 1] == '\r' ? end - 1 : end;  // the text before it
  if (len > max) {
    line = text.substr(0, max);
    text.remove_prefix(max);
    return true;
  }
  line = text.substr(0, len);
  text.remove_prefix(nl == std::string_view::npos ? end : end + 1);
  return true;
}

int next_config_line(std::string_view &text, std::string_view &line, int *number, size_t max) {
  if (!next_line(text, line, max)) return 0;
  ++*number;
  return line.find('\0') == std::string_view::npos ? 1 : -1;
}

std::string nul_line_message(std::string_view file, int number) {
  std::string m(file);
  appendf(m, ": line %d contains a NUL byte", number);
  return m;
}

std::string quote_text(std::string_view text) {
  if (text.size() <= MESSAGE_QUOTE_MAX) return std::string(text);
  std::string q(text.substr(0, MESSAGE_QUOTE_MAX));
  q += "...";
  return q;
}

std::string_view rest_after(std::string_view line, std::string_view word) {
  size_t end = static_cast<size_t>(word.data() - line.data()) + word.size();
  if (end >= line.size()) return {};
  return line.substr(end + 1);  // skip the one blank that ended the word
}

int read_stream(std::FILE *in, std::string &text) {
  text.clear();
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) {
    text.append(buf, n);
    // A short read that met the end stops here: asking again would wait for
    // a second end of input from a terminal.
    if (n < sizeof buf && (std::feof(in) || std::ferror(in))) break;
  }
  return std::ferror(in) ? -1 : 0;
}

int read_text_file(const char *path, std::string &text) {
  text.clear();
  std::FILE *f = std::fopen(path, "r");
  if (!f) return -1;
  int rc = read_stream(f, text);
  int e = errno;
  std::fclose(f);
  errno = e;
  return rc;
}

int read_install_file(const std::string &dir, const char *rel, std::string &text,
                      bool missing_quiet) {
  std::string path = kvl_path(dir, rel);
  if (read_text_file(path.c_str(), text) == 0) return 0;
  int e = errno;
  if (e != ENOENT || !missing_quiet) print_error(path.c_str(), e);
  errno = e;
  return -1;
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
