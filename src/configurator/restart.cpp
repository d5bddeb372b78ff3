// Self test and update from the main menu. Both save the configuration first,
// so that the restarted drivers use it, and then run the package's tools
// under bin/ through the shell with the installation directory single-quoted
// (any directory name runs the right program).
#include "configurator/restart.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/asker.h"
#include "common/common.h"
#include "common/program_info.h"
#include "configurator/configurator.h"
#include "control/control.h"
#include "entry/entry.h"
#include "tui/tui.h"

namespace kvl {

namespace {

const std::string &install_dir(const Configurator &cfg) { return cfg.run.model.install_dir; }

// The control device belongs to the driver as it was loaded: once the drivers
// are restarted under this run, no request may reach them through it. The
// no-driver flag stays set for the rest of the run.
void close_driver(Configurator &cfg) {
  if (!cfg.run.control.no_driver) control_close(cfg.run.control);
}

// Runs DIR/bin/TOOL with its output discarded. Returns 0 when it exited with 0.
int run_tool(const Configurator &cfg, const char *tool) {
  std::string command = shell_quote(install_dir(cfg)) + "/bin/" + tool + " > /dev/null 2>&1";
  std::fflush(nullptr);
  return std::system(command.c_str()) == 0 ? 0 : -1;
}

// Runs TOOL; when it fails, says so in a waiting box. Returns 0 or -1.
int run_tool_or_say(Configurator &cfg, const char *tool) {
  if (run_tool(cfg, tool) == 0) return 0;
  cfg.asker.notice(std::string("Running ") + tool + " failed", true);
  return -1;
}

}  // namespace

void self_test_item(Configurator &cfg, int quick) {
  cfg.asker.notice("Restarting KVL...please wait.", false);
  if (save_configuration(cfg) < 0) return;  // nothing stopped, the edits stay
  close_driver(cfg);
  cfg.asker.notice("Restarting KVL...please wait.", false);
  if (run_tool_or_say(cfg, "audstop") < 0) return;
  if (run_tool_or_say(cfg, "audstart") < 0) return;

  run_kvltest_window(install_dir(cfg), quick ? "-q -C" : "-C");
}

void update_item(Configurator &cfg) {
  if (save_configuration(cfg) < 0) return;
  cfg.asker.notice("Will exit audset and start kvlupdate", true);
  close_driver(cfg);
  if (run_tool_or_say(cfg, "audstop") < 0) return;

  std::string path = kvl_path(install_dir(cfg), "bin/kvlupdate");
  tui_end();
  std::fflush(nullptr);
  // The update program learns the version installed now.
  execl(path.c_str(), path.c_str(), PACKAGE_VERSION, static_cast<char *>(nullptr));
  int err = errno;

  // The update program could not run: the screen comes back, and the drivers
  // this item stopped are started again with the configuration just saved.
  tui_start();
  cfg.asker.notice("Cannot start kvlupdate: " + std::string(std::strerror(err)), true);
  cfg.asker.notice("Restarting KVL...please wait.", false);
  run_tool_or_say(cfg, "audstart");
}

}  // namespace kvl
