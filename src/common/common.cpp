#include "common/common.h"


#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvl {

const char *driver_name_by_key(const DriverTable &drivers, int key) {
  int n = drivers.slots < drivers.count ? drivers.slots : drivers.count;
  for (int i = 0; i < n; i++)
    if (drivers.keys[i] == key) return drivers.names[i].c_str();
  return "<unknown>";
}

int driver_key_by_name(const DriverTable &drivers, std::string_view name) {
  int n = drivers.slots < drivers.count ? drivers.slots : drivers.count;
  for (int i = 0; i < n; i++)
    if (drivers.names[i] == name) return drivers.keys[i];
  return -1;
}

std::vector<std::string_view> split_words(std::string_view line) {
  std::vector<std::string_view> words;
  if (line.empty()) return words;
  size_t start = 0;
  for (;;) {
    size_t blank = line.find(' ', start);
    if (blank == std::string_view::npos) {
      words.push_back(line.substr(start));
      return words;
    }
    words.push_back(line.substr(start, blank - start));
    start = blank + 1;
    if (start == line.size()) return words;  // a blank that ends the line starts no word
  }
}

std::string kvl_path(std::string_view dir, std::string_view rel) {
  std::string p(dir);
  p += '/';
  p += rel;
  return p;
}

void print_error(const char *label, int err) {
  int e = errno;
  std::fprintf(stderr, "%s: %s\n", label, std::strerror(err));
  errno = e;
}


}  // namespace kvl
