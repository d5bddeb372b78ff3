// Feeds arbitrary bytes to the control panel's reader of /etc/kvl.conf. The
// directory is the value of a "KVLLIBDIR=" line: absolute, at most 255 bytes,
// no control character, found in the text right after a "KVLLIBDIR=" that
// starts a line and followed by the line's end (a CR allowed before it); with
// no such line the directory stays as it was.
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
  if (dir.empty() || dir[0] != '/' || dir.size() > 255) std::abort();
  for (unsigned char c : dir)
    if (c < 0x20 || c == 0x7f) std::abort();
  std::string line = "KVLLIBDIR=" + dir;
  for (size_t at = text.find(line); at != std::string_view::npos; at = text.find(line, at + 1)) {
    if (at != 0 && text[at - 1] != '\n') continue;
    std::string_view rest = text.substr(at + line.size());
    if (rest.empty() || rest[0] == '\n' || rest == "\r" || rest.substr(0, 2) == "\r\n") return 0;
  }
  std::abort();
}
