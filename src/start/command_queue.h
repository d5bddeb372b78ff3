// The shell commands that "/CONTROL run" lines queue, run as root once the
// cards are active, and whether the configuration on standard input may
// queue them at all.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvl {

struct CoreRun;
struct StartupRun;

// Whether the card configuration on standard input may queue commands, which
// run as root (config_input_trust).
enum class InputTrust {
  trusted,     // a pipe, or DIR/etc/devices.cfg reached only through trusted hands
  changeable,  // other users can change it, or a folder or link on the way
  elsewhere,   // a file, but not DIR/etc/devices.cfg: its way is unknown
};

constexpr int MAX_QUEUED_COMMANDS = 320;
constexpr size_t MAX_COMMAND_TEXT = 1023;
struct CommandQueue {
  int count = 0;
  std::string commands[MAX_QUEUED_COMMANDS];
};

// Appends text, every "~" and "$" replaced by the installation directory, to
// the run's queue. Returns 0, or -1 after a line on standard error when the queue
// is full or the command is longer than MAX_COMMAND_TEXT (nothing queued).
int queue_command(StartupRun &run, std::string_view text);
// Runs every queued command through the shell, in queue order.
void run_command_queue(StartupRun &run);
// Whether the configuration on standard input may queue commands: a regular
// file must be DIR/etc/devices.cfg and pass commands_file_trusted (every
// folder and link on the way to it included); anything else (a pipe is the
// start tool's own) must be owned by a trusted owner and writable by nobody
// else.
InputTrust config_input_trust(const CoreRun &run);

}  // namespace kvl
