// The card configuration that start-up reads on standard input: card headers,
// option lines, card lines and the pending "/CONTROL" line, each turned into
// driver requests (cardconfig.cpp, control_line.cpp).
#pragma once

#include <string>
#include <string_view>

#include "start/command_queue.h"

namespace kvl {

struct CoreRun;
struct StartupRun;

// What the card configuration sets for the later steps.
struct ApplyState {
  int secure_audio = 0;          // "/SECUREAUDIO": audio files get mode 0622
  int dspx = 0;                  // "/DSPX" or > 16 audio devices: /dev/dsp16..63
  std::string pending_control;   // the last "/CONTROL" text, until cleared
  // "/CONTROL run" commands run as root: start-up sets this from where the
  // configuration comes from, and only a trusted one queues commands;
  // refusal_told makes the refusal said once.
  InputTrust input_trust = InputTrust::trusted;
  int refusal_told = 0;
  // A "Configuring" line of the log is waiting for its end (verbosity 1 or
  // more); a message of its own starts a new line first.
  bool log_line_open = false;
};

// Reads the card configuration text line by line and hands it to the
// driver, counting the cards added. A line with a NUL byte is refused with
// "DIR/etc/devices.cfg: line N contains a NUL byte". Returns 0, or -1 after
// printing when the driver refused a card.
int apply_card_config(StartupRun &run, std::string_view text);
// Applies the pending control line to the card named card: its mixmap/parm
// settings when the control line names this card, else queues a "run"
// control line (unless commands are not allowed: "Not running commands from
// DIR/etc/devices.cfg: it can be changed by other users", once) and clears it.
void apply_control_line(StartupRun &run, std::string_view card);
// Sends CMD_MIXMAP for "FROM,TO" channel names ("none" as TO); anything else
// sends nothing. The driver's answer is not checked.
void set_mixmap(CoreRun &run, std::string_view card, std::string_view value);
// Sends CMD_PARM with number and the low 8 bits of the decimal value (0 when
// it is no number). The driver's answer is not checked.
void set_card_parm(CoreRun &run, std::string_view card, int number, std::string_view value);

}  // namespace kvl
