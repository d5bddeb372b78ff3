// The driver options that etc/options.cfg may set: name, the id sent to the
// driver with Set ioctl, and whether the configurator's editor hides it.
#pragma once

#include <string_view>

namespace kvl {

struct OptionEntry {
  const char *name;
  int id;
  int hidden;  // applied when present in the file, not offered for editing
};

constexpr int OPTION_COUNT = 64;
extern const OptionEntry OptionTable[OPTION_COUNT];

// The first entry whose name equals name exactly, or nullptr.
const OptionEntry *find_option(std::string_view name);

}  // namespace kvl
