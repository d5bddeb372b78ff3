// etc/options.cfg: driver options, one "name=value" per line.
#include <cstdio>
#include <string>

#include "common/text.h"
#include "common/common.h"
#include "control/control.h"
#include "driver/driver.h"
#include "start/option_table.h"
#include "start/start.h"

namespace kvl {

namespace {

constexpr size_t kLineMax = 255;  // a longer line is cut

// One line of the file: sends the option when the name is known.
void apply_option(const ControlDevice &control, const std::string &line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) {
    std::fprintf(stderr, "Invalid line in etc/options.cfg: '%s'\n", line.c_str());
    return;
  }
  std::string name = line.substr(0, eq);
  const OptionEntry *e = find_option(name);
  if (!e) {
    std::fprintf(stderr, "Unrecognized option name in etc/options.cfg: '%s\n", name.c_str());
    return;
  }
  int value;
  if (parse_number(std::string_view(line).substr(eq + 1), 10, &value) != 0) value = 0;
  OptionRequest req = {e->id, value};
  if (control_send(control, CTL_SET_OPTION, &req) < 0)
    print_error(request_label(CTL_SET_OPTION));
  std::fprintf(stderr, "Config option '%s' defined\n", line.c_str());
}

}  // namespace

void apply_options_cfg(const std::string &dir, const ControlDevice &control) {
  std::string text;
  if (read_text_file(kvl_path(dir, "etc/options.cfg").c_str(), text) < 0) return;
  std::string_view rest = text, piece;
  while (next_line(rest, piece)) {
    std::string line(piece.substr(0, kLineMax));
    apply_option(control, line);
  }
}

}  // namespace kvl
