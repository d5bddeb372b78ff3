// The first part of every audcore run and the start-up sequence.
#include <unistd.h>

#include <cstdio>

#include "common/common.h"
#include "common/file_lock.h"
#include "common/program_info.h"
#include "common/text.h"
#include "driver/driver.h"
#include "start/start.h"
#include "sys/sys.h"

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

// The configuration of a driver that has none yet: mixer levels, cards,
// activation, device files and queued commands. Returns
// 0, 1 when the configuration added no card (start-up ends quietly), -1 after
// printing a fatal error.
int configure_driver(CoreRun &run) {
  load_mixer_levels(run.model.install_dir, run.control, run.mixer_map);
  std::string text;
  if (read_stream(stdin, text) < 0) print_error("stdin");
  run.apply.input_trust = config_input_trust(run);
  if (apply_card_config(run, text) < 0) return -1;
  if (run.cards_added == 0) return 1;

  sys_sync();  // activating the cards touches the hardware
  int32_t arg = 0;
  if (control_request(run.control, CTL_ACTIVATE, &arg) < 0) return -1;
  if (run.control.major != 0) {
    query_sysinfo(run);
    make_device_files(run);
  }
  run_command_queue(run);
  return 0;
}

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
    run.config_lock = take_file_lock(kvl_path(run.model.install_dir, CONFIG_LOCK).c_str(), &holder);
    if (run.config_lock == -1) {
      std::fprintf(stderr, "Another configurator is running (pid %ld)\n", holder);
      return -1;
    }
  }
  // Start-up says it has begun. The configurator says "AUDSET" only once its
  // menu is up: a driver listing, or a configurator that ends before its
  // menu, leaves the word of the running system as it was.
  if (!run.configurator) write_install_status(run.model.install_dir, "AUDSTART");
  if (control_open(run.control, run.configurator != 0) < 0) return -1;

  if (!run.control.no_driver) {
    int rc = driver_handshake(run);
    if (rc != 0) return rc;  // 1: another driver version, told, not an error
  }
  return 0;
}

int run_startup(CoreRun &run) {
  if (load_driver_names(run) < 0) return EXIT_FATAL;
  if (run.driver_status == 0) {
    int rc = configure_driver(run);
    if (rc < 0) return EXIT_FATAL;
    if (rc > 0) return 0;
  }

  int all_ok = 1;
  if (report_cards(run, &all_ok) < 0) return EXIT_FATAL;
  // A configured driver skipped the first pass over mixer.map: then this
  // pass reads the file and tells what is wrong with it.
  run_mixer_commands(run.model.install_dir, run.mixer_map);
  apply_dspdevs_map(run.model.install_dir, run.control);
  if (all_ok) {
    std::printf("\nKelvane started OK.\n");
    write_install_status(run.model.install_dir, "AUDSTART_OK");
  }
  return 0;
}

}  // namespace kvl
