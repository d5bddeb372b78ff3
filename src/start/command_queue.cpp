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
#include "cardcfg/devices_cfg.h"
#include "entry/entry.h"
#include "start/command_queue.h"
#include "start/startup.h"

namespace kvl {


int queue_command(StartupRun &run, std::string_view text) {
  std::string command;
  for (char c : text) {
    if (c == '~' || c == '$') command += run.core.model.install_dir;
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

InputTrust config_input_trust(const CoreRun &run) {
  TrustedOwners owners;
  struct stat in;
  if (install_owners(run.model.install_dir.c_str(), &owners) != 0 || fstat(STDIN_FILENO, &in) != 0)
    return InputTrust::changeable;
  if (!S_ISREG(in.st_mode))
    return trusted_owner(in, owners) && !(in.st_mode & (S_IWGRP | S_IWOTH)) ? InputTrust::trusted
                                                                              : InputTrust::changeable;
  // A file: it must be the installation's devices.cfg, reached by a way
  // that only trusted owners can change.
  struct stat reached;
  std::string path = kvl_path(run.model.install_dir, DEVICES_CFG);
  if (commands_file_trusted(path.c_str(), owners, &reached) != 1) {
    bool same = stat(path.c_str(), &reached) == 0 && reached.st_dev == in.st_dev &&
                reached.st_ino == in.st_ino;
    return same || !trusted_file(in, owners) ? InputTrust::changeable : InputTrust::elsewhere;
  }
  return reached.st_dev == in.st_dev && reached.st_ino == in.st_ino ? InputTrust::trusted
                                                                    : InputTrust::elsewhere;
}

void run_command_queue(StartupRun &run) {
  std::fflush(nullptr);  // our own output first, then the command's
  for (int i = 0; i < run.commands.count; i++) {
    (void)!std::system(run.commands.commands[i].c_str());
  }
}

}  // namespace kvl
