// Feeds arbitrary bytes to the control panel's reader of /etc/kvl.conf. The
// first whole line that starts with "KVLLIBDIR=" names the directory, the
// rest of that line verbatim (an empty value keeps the default); with no
// such line the directory stays as it was.
#include "panel/panel.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(data), size);
  std::string dir = "unchanged";
  int rc = kvl::parse_kvl_conf(text, &dir);
  if (rc != 0 && rc != -1) std::abort();
  if (rc == -1) {
    if (dir != "unchanged") std::abort();
    return 0;
  }
  // The value is one line's: no line end in it, and it is found in the text
  // right after a "KVLLIBDIR=" that starts a line.
  if (dir.find('\n') != std::string::npos) std::abort();
  if (dir != kvl::DEFAULT_INSTALL_DIR) {
    std::string line = "KVLLIBDIR=" + dir;
    size_t at = text.find(line);
    while (at != std::string_view::npos && at != 0 && text[at - 1] != '\n')
      at = text.find(line, at + 1);
    if (at == std::string_view::npos) std::abort();
  }
  return 0;
}
