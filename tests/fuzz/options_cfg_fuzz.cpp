// Feeds arbitrary bytes to the etc/options.cfg reader. Every row read must
// write back, and the text written must read back to the same rows (line
// numbers aside, since problem lines are not written) with no problem. The
// one exception is by design: a value that ends in a carriage return (a line
// that ended in two of them: the reader removes one) would read back without
// it, so the writer refuses it.
#include "settings/options_cfg.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(data), size);
  kvl::OptionsFile file, back;
  kvl::parse_options_cfg(text, &file);
  std::string written;
  if (kvl::format_options_cfg(file, &written) != 0) {
    for (const kvl::OptionRow &row : file.rows)
      if (!row.value_text.empty() && row.value_text.back() == '\r') return 0;
    std::abort();
  }
  if (kvl::parse_options_cfg(written, &back) != 0 || back.rows.size() != file.rows.size())
    std::abort();
  for (size_t i = 0; i < file.rows.size(); i++)
    if (back.rows[i].option != file.rows[i].option ||
        back.rows[i].value_text != file.rows[i].value_text)
      std::abort();
  return 0;
}
