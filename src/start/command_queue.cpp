// The commands that control lines queue; they run once the cards are active.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/common.h"
#include "common/file_trust.h"
#include "common/text.h"
#include "start/start.h"

namespace kvl {


int queue_command(CoreRun &run, std::string_view text) {
  std::string command;
  for (char c : text) {
    if (c == '~' || c == '$') command += run.model.install_dir;
    else command += c;
  }
  // A command cut to fit would run something else than was configured, and
  // one past the queue would be lost unseen: both are refused aloud.
  if (command.size() > MAX_COMMAND_TEXT) {
    std::fprintf(stderr, "Command too long (over %zu characters), not queued: %s\n",
                 MAX_COMMAND_TEXT, quote_text(command).c_str());
    return -1;
  }
  if (run.commands.count >= MAX_QUEUED_COMMANDS) {
    std::fprintf(stderr, "Too many queued commands (at most %d), not queued: %s\n",
                 MAX_QUEUED_COMMANDS, quote_text(command).c_str());
    return -1;
  }
  run.commands.commands[run.commands.count++] = std::move(command);
  return 0;
}

bool config_input_trusted(const CoreRun &run) {
  struct stat st;
  if (fstat(STDIN_FILENO, &st) != 0 || !only_owner_can_change(st)) return false;
  if (!S_ISREG(st.st_mode)) return true;
  std::string folder = kvl_path(run.model.install_dir, "etc");
  return stat(folder.c_str(), &st) == 0 && only_owner_can_change(st);
}

void run_command_queue(CoreRun &run) {
  std::fflush(nullptr);  // our own output first, then the command's
  for (int i = 0; i < run.commands.count; i++) {
    (void)!std::system(run.commands.commands[i].c_str());
  }
}

}  // namespace kvl
