// The first part of every audcore run, in either mode.
#include "entry/entry.h"

#include <cstdio>

#include "common/program_info.h"
#include "entry/config_lock.h"
#include "entry/handshake.h"
#include "entry/install_status.h"

namespace kvl {

namespace {

const char USAGE[] =
    "Usage: audcore WORD DIR < DIR/etc/devices.cfg\n"
    "       audcore c DIR\n"
    "       audcore T DIR\n"
    "       audcore --help | --version\n"
    "The start-up back end and configurator of the Kelvane sound system\n"
    "installed at DIR. Start-up mode is run by audstart, not by hand; with c\n"
    "audcore is the interactive configurator, with T it lists the running\n"
    "driver's card-level drivers. WORD is a word of option letters: v (one\n"
    "more level of detail in the log, repeatable), c, T; x, i and - are accepted.\n";

}  // namespace

int start_entry(CoreRun &run, int argc, char **argv) {
  // Only the whole first argument: any other option word keeps its letters.
  if (argc > 1 && print_program_info(argv[1], "audcore", USAGE)) return 1;
  extend_path();
  if (argc > 1) parse_option_word(run, argv[1]);
  if (argc != 3) {
    std::fprintf(stderr, "%s: This program should not used manually.\n",
                 argc > 0 ? argv[0] : "audcore");
    return -1;
  }

  run.model.install_dir = argv[2];
  // One configurator per installation: a second one touches nothing, not
  // even the status word the first one keeps.
  if (run.configurator && !run.driver_list) {
    long holder = 0;
    run.config_lock = lock_configurator(run.model.install_dir, &holder);
    if (run.config_lock == -1) return -1;
  }
  // Start-up says it has begun. The configurator says "AUDSET" only once its
  // menu is up: a driver listing, or a configurator that ends before its
  // menu, leaves the word of the running system as it was.
  if (!run.configurator) write_install_status(run.model.install_dir, STATUS_STARTING);
  if (control_open(run.control, run.configurator != 0) < 0) return -1;

  if (!run.control.no_driver) {
    int rc = driver_handshake(run);
    if (rc != 0) return rc;  // 1: another driver version, told, not an error
  }
  return 0;
}

}  // namespace kvl
