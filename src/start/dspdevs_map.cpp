// etc/dspdevs.map: the /dev/dsp routing, one line per mode (1 input,
// 2 output, 3 duplex), device numbers in order of preference.
#include <cstdio>
#include <string>
#include <string_view>

#include "common/text.h"
#include "common/common.h"
#include "control/control.h"
#include "driver/driver.h"
#include "start/start.h"

namespace kvl {

namespace {

constexpr int kModes = 3;
constexpr int kMaxDevices = 64;

// Fills rec from one line: decimal numbers separated by runs of blanks. A
// leading blank, a word that is no number or a 65th number make it invalid.
bool parse_routing_line(std::string_view line, RoutingRecord *rec) {
  if (!line.empty() && line[0] == ' ') return false;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    int v;
    if (parse_number(line.substr(pos, end - pos), 10, &v) != 0) return false;
    if (rec->count >= kMaxDevices) return false;
    rec->devices[rec->count++] = static_cast<uint8_t>(v & 0xff);
    pos = line.find_first_not_of(' ', end);
    if (pos == std::string_view::npos) break;
  }
  return true;
}

}  // namespace

void apply_dspdevs_map(const std::string &dir, const ControlDevice &control) {
  RoutingRecord recs[kModes] = {};
  std::string text;
  if (read_text_file(kvl_path(dir, "etc/dspdevs.map").c_str(), text) < 0) return;
  int lines = 0;
  std::string_view rest = text, line;
  while (lines < kModes && next_line(rest, line)) {
    if (!parse_routing_line(line, &recs[lines])) {
      std::fprintf(stderr, "Bad info in dspdevs.map\n");
      return;
    }
    lines++;
  }

  for (int k = 0; k < lines; k++) {
    RoutingRecord &rec = recs[k];
    rec.mode = k + 1;
    if (control_send(control, CTL_SET_REROUTE, &rec) < 0) {
      print_error("reroute");
      return;
    }
    std::fprintf(stderr, rec.mode == 1 ? "/dev/dsp input assignment: "
                                       : "/dev/dsp output assignment: ");
    for (int i = 0; i < rec.count; i++) std::fprintf(stderr, "%d ", rec.devices[i]);
    std::fprintf(stderr, "\n");
  }
}

}  // namespace kvl
