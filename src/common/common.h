// Small helpers shared by every subsystem: the driver table, word splitting,
// path forming and error-text printing.
#pragma once

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "common/std_descriptors.h"

namespace kvl {

// The card-level drivers: names with their type keys and a second text (a
// module name from etc/modules.lis or a description from the driver).
constexpr int MAX_DRIVER_NAMES = 200;
constexpr int MAX_DRIVER_KEYS = 300;
struct DriverTable {
  int slots = 0;                            // driver slot count
  int count = 0;                            // names stored
  std::string names[MAX_DRIVER_NAMES];
  std::string texts[MAX_DRIVER_NAMES];      // module name or description
  int keys[MAX_DRIVER_KEYS] = {};
};

// Name at the first index below the slot count whose key equals key, or
// "<unknown>".
const char *driver_name_by_key(const DriverTable &drivers, int key);
// Key at the first index below the slot count whose name equals name, or -1.
int driver_key_by_name(const DriverTable &drivers, std::string_view name);

// Splits configuration text into words at single blanks: two blanks give an
// empty word, tabs are not separators. An empty line gives no word, and a
// blank that ends the line starts none.
std::vector<std::string_view> split_words(std::string_view line);

// "DIR/REL": the installation directory followed by "/" and a relative path.
std::string kvl_path(std::string_view dir, std::string_view rel);

// kvl_open_standard_descriptors (common/std_descriptors.h): /dev/null on
// each closed descriptor 0, 1 and 2, called first in every main.
inline int open_standard_descriptors() { return kvl_open_standard_descriptors(); }

// Prints "label: error text" for the error number err (by default the
// current errno) on standard error; errno is left as it was.
void print_error(const char *label, int err = errno);

}  // namespace kvl
