// The start-up sequence, after the entry's part of the run.
#include "start/startup.h"

#include <cstdio>
#include <memory>

#include "common/common.h"
#include "common/text.h"
#include "driver/driver.h"
#include "entry/entry.h"
#include "entry/handshake.h"
#include "entry/install_status.h"
#include "start/card_report.h"
#include "start/devfiles.h"
#include "sys/sys.h"

namespace kvl {

namespace {

// The configuration of a driver that has none yet: mixer levels, cards,
// activation, device files and queued commands. Returns
// 0, 1 when the configuration added no card (start-up ends quietly), -1 after
// printing a fatal error.
int configure_driver(StartupRun &run) {
  CoreRun &core = run.core;
  load_mixer_levels(core.model.install_dir, core.control, run.mixer_map);
  std::string text;
  if (read_stream(stdin, text) < 0) print_error("stdin");
  run.apply.input_trust = config_input_trust(core);
  if (apply_card_config(run, text) < 0) return -1;
  if (run.cards_added == 0) return 1;

  sys_sync();  // activating the cards touches the hardware
  int32_t arg = 0;
  if (control_request(core.control, CTL_ACTIVATE, &arg) < 0) return -1;
  if (core.control.major != 0) {
    query_sysinfo(run);
    make_device_files(run);
  }
  run_command_queue(run);
  return 0;
}

}  // namespace

int run_startup(CoreRun &core) {
  // Large (the command queue): kept off the stack.
  auto run = std::make_unique<StartupRun>(core);
  if (load_driver_names(core) < 0) return EXIT_FATAL;
  if (core.driver_status == 0) {
    int rc = configure_driver(*run);
    if (rc < 0) return EXIT_FATAL;
    if (rc > 0) return 0;
  }

  int all_ok = 1;
  if (report_cards(core, &all_ok) < 0) return EXIT_FATAL;
  // A configured driver skipped the first pass over mixer.map: then this
  // pass reads the file and tells what is wrong with it.
  run_mixer_commands(core.model.install_dir, run->mixer_map);
  apply_dspdevs_map(core.model.install_dir, core.control);
  if (all_ok) {
    std::printf("\nKelvane started OK.\n");
    write_install_status(core.model.install_dir, STATUS_STARTED);
  }
  return 0;
}

}  // namespace kvl
