// "/CONTROL" lines: the settings a card gets once it is added (mixer map and
// card parameters), or a command to run after activation.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "common/common.h"
#include "control/control.h"
#include "driver/driver.h"
#include "cardcfg/devices_cfg.h"
#include "entry/entry.h"
#include "start/card_config.h"
#include "start/startup.h"

namespace kvl {

namespace {

// Mixer channels by index; "none" (index 31) may only be a mapping's target.
constexpr const char *kMixerChannels[] = {
    "vol",  "bass", "treble", "synth", "pcm",   "speaker", "line",   "mic",  "cd",    "mix",
    "pcm2", "rec",  "igain",  "ogain", "aux1",  "aux2",    "aux3",   "dig1", "dig2",  "dig3",
    "phone", "mono", "video", "radio", "depth", "rear",    "center", "surround"};
constexpr int kChannelNone = 31;

// Index of a channel name, kChannelNone for "none" when allowed, or -1.
int channel_index(std::string_view name, bool none_allowed) {
  int n = 0;
  for (const char *c : kMixerChannels) {
    if (name == c) return n;
    n++;
  }
  if (none_allowed && name == "none") return kChannelNone;
  return -1;
}

// Sends one card command with two payload bytes; the answer is not checked.
void send_card_bytes(CoreRun &run, std::string_view card, int command, int byte0, int byte1) {
  CardCommandRecord rec = {};
  copy_field(rec.name, card);
  rec.command = command;
  rec.payload[0] = static_cast<unsigned char>(byte0);
  rec.payload[1] = static_cast<unsigned char>(byte1);
  control_send(run.control, CTL_CARD_COMMAND, &rec);
}

// The refusal of "/CONTROL run" lines, on a line of its own even in the
// middle of a "Configuring" line.
void tell_command_refusal(StartupRun &run) {
  if (run.apply.log_line_open) {
    std::fputc('\n', stderr);
    run.apply.log_line_open = false;
  }
  std::string path = kvl_path(run.core.model.install_dir, DEVICES_CFG);
  if (run.apply.input_trust == InputTrust::elsewhere)
    std::fprintf(stderr, "Not running commands from standard input: it is not %s\n", path.c_str());
  else
    std::fprintf(stderr, "Not running commands from %s: it can be changed by other users\n",
                 path.c_str());
}

}  // namespace

void set_mixmap(CoreRun &run, std::string_view card, std::string_view value) {
  size_t comma = value.find(',');
  if (comma == std::string_view::npos) return;
  int from = channel_index(value.substr(0, comma), false);
  int to = channel_index(value.substr(comma + 1), true);
  if (from < 0 || to < 0) return;
  send_card_bytes(run, card, CMD_MIXMAP, from, to);
}

void set_card_parm(CoreRun &run, std::string_view card, int number, std::string_view value) {
  int v;
  if (parse_number(value, 10, &v) != 0) v = 0;
  send_card_bytes(run, card, CMD_PARM, number, v & 0xff);
}

void apply_control_line(StartupRun &run, std::string_view card) {
  // The words are views into a copy: queue_command and the settings must not
  // see the pending line change under them.
  const std::string control = run.apply.pending_control;
  std::vector<std::string_view> words = split_words(control);
  if (words.empty()) return;
  if (words[0] != card) {
    if (words[0] == "run") {
      if (run.apply.input_trust == InputTrust::trusted) {
        queue_command(run, rest_after(control, words[0]));
      } else if (!run.apply.refusal_told) {
        tell_command_refusal(run);
        run.apply.refusal_told = 1;
      }
    }
    run.apply.pending_control.clear();
    return;
  }
  for (size_t i = 1; i < words.size(); i++) {
    std::string_view w = words[i];
    size_t eq = w.find('=');
    std::string_view key = w.substr(0, eq);
    std::string_view value = eq == std::string_view::npos ? std::string_view() : w.substr(eq + 1);
    if (key == "mixmap") set_mixmap(run.core, card, value);
    else if (key == "parm1") set_card_parm(run.core, card, 1, value);
    else if (key == "parm2") set_card_parm(run.core, card, 2, value);
  }
}

}  // namespace kvl
