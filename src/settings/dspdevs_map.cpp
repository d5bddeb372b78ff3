#include "settings/dspdevs_map.h"

#include <cstdint>
#include <cstdio>

#include "common/common.h"
#include "common/text.h"

namespace kvl {

namespace {

// Fills rec from one line: decimal numbers separated by runs of blanks.
// Returns 0, or -1 with *problem filled (its line left to the caller).
int parse_routing_line(std::string_view line, RoutingRecord *rec, SettingsProblem *problem) {
  if (!line.empty() && line[0] == ' ') {
    *problem = {0, SettingsError::RoutingLeadingBlank, std::string(line)};
    return -1;
  }
  size_t pos = 0;
  while (pos < line.size()) {
    size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    std::string_view word = line.substr(pos, end - pos);
    int v;
    if (parse_number(word, 10, &v) != 0) {
      *problem = {0, SettingsError::RoutingNotANumber, std::string(word)};
      return -1;
    }
    if (v < 0 || v > ROUTING_DEVICE_MAX) {
      *problem = {0, SettingsError::RoutingOutOfRange, std::string(word)};
      return -1;
    }
    if (rec->count >= ROUTING_MAX_DEVICES) {
      *problem = {0, SettingsError::RoutingTooMany, std::string(word)};
      return -1;
    }
    rec->devices[rec->count++] = static_cast<uint8_t>(v);
    pos = line.find_first_not_of(' ', end);
    if (pos == std::string_view::npos) break;
  }
  return 0;
}

}  // namespace

bool operator==(const DspdevsMap &a, const DspdevsMap &b) {
  if (a.count != b.count || a.problems != b.problems) return false;
  for (int k = 0; k < a.count && k < ROUTING_MODES; k++) {
    const RoutingRecord &x = a.routes[k], &y = b.routes[k];
    if (x.mode != y.mode || x.count != y.count) return false;
    for (int i = 0; i < x.count && i < ROUTING_MAX_DEVICES; i++)
      if (x.devices[i] != y.devices[i]) return false;
  }
  return true;
}

int parse_dspdevs_map(std::string_view text, DspdevsMap *out) {
  *out = {};
  std::string_view rest = text, line;
  int n = 0;
  for (int rc; out->count < ROUTING_MODES && (rc = next_config_line(rest, line, &n)) != 0;) {
    RoutingRecord &rec = out->routes[out->count];
    SettingsProblem problem;
    if (rc < 0) problem = {0, SettingsError::NulByte, ""};
    if (rc < 0 || parse_routing_line(line, &rec, &problem) != 0) {
      problem.line = n;
      *out = {};
      out->problems.push_back(std::move(problem));
      return -1;
    }
    rec.mode = ++out->count;
  }
  return 0;
}

int format_dspdevs_map(const DspdevsMap &map, std::string *out) {
  if (map.count < 0 || map.count > ROUTING_MODES) return -1;
  std::string text;
  for (int k = 0; k < map.count; k++) {
    const RoutingRecord &rec = map.routes[k];
    if (rec.mode != k + 1 || rec.count < 0 || rec.count > ROUTING_MAX_DEVICES) return -1;
    for (int i = 0; i < rec.count; i++) appendf(text, "%d ", rec.devices[i]);
    text += "\n";
  }
  *out = std::move(text);
  return 0;
}

void apply_routing(const DspdevsMap &map, const ControlDevice &control) {
  if (!map.problems.empty()) {
    const SettingsProblem &p = map.problems[0];
    if (p.kind == SettingsError::NulByte)
      std::fprintf(stderr, "%s\n", nul_line_message(DSPDEVS_MAP, p.line).c_str());
    else
      std::fprintf(stderr, "Bad info in dspdevs.map\n");
    return;
  }
  for (int k = 0; k < map.count && k < ROUTING_MODES; k++) {
    RoutingRecord rec = map.routes[k];
    rec.mode = k + 1;
    if (rec.count < 0) rec.count = 0;  // a record made by hand: keep within the list
    if (rec.count > ROUTING_MAX_DEVICES) rec.count = ROUTING_MAX_DEVICES;
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
