// Feeds arbitrary bytes to the etc/mixer.map reader (levels and commands; no
// command is ever run). Every entry read must write back, and the text
// written must read back to the same entries (line numbers aside) with no
// problem. The one exception is by design: a command whose arguments end in
// a carriage return (a line that ended in two of them: the reader removes
// one) would read back without it, so the writer refuses it.
#include "settings/mixer_map.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(data), size);
  kvl::MixerMap map, back;
  kvl::parse_mixer_map(text, &map);
  std::string written;
  if (kvl::format_mixer_map(map, &written) != 0) {
    for (const kvl::MixerEntry &e : map.entries)
      if (e.kind == kvl::MixerEntryKind::Command && !e.args.empty() && e.args.back() == '\r')
        return 0;
    std::abort();
  }
  if (kvl::parse_mixer_map(written, &back) != 0 || back.entries.size() != map.entries.size())
    std::abort();
  for (size_t i = 0; i < map.entries.size(); i++) {
    kvl::MixerEntry e = back.entries[i];
    e.line = map.entries[i].line;
    if (!(e == map.entries[i])) std::abort();
  }
  return 0;
}
