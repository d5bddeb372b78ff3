// audcore's entry and the start-up sequence.
#include <unistd.h>

#include <cstdio>

#include "common/common.h"
#include "common/text.h"
#include "driver/driver.h"
#include "start/start.h"
#include "sys/sys.h"

namespace kvl {

namespace {

// Steps 9.1 to 9.7: the configuration of a driver that has none yet. Returns
// 0, 1 when the configuration added no card (start-up ends quietly), -1 after
// printing a fatal error.
int configure_driver() {
  load_mixer_levels(g_core.install_dir, g_core.control);
  std::string text;
  if (read_stream(stdin, text) < 0) print_error("stdin");
  if (apply_card_config(text) < 0) return -1;
  if (g_core.cards_added == 0) return 1;

  sys_sync();  // activating the cards touches the hardware
  int32_t arg = 0;
  if (control_request(CTL_ACTIVATE, &arg) < 0) return -1;
  if (g_core.control.major != 0) {
    query_sysinfo();
    make_device_files();
  }
  run_command_queue();
  return 0;
}

}  // namespace

int start_main(int argc, char **argv) {
  extend_path();
  if (argc > 1) parse_option_word(argv[1]);
  if (argc != 3) {
    std::fprintf(stderr, "%s: This program should not used manually.\n",
                 argc > 0 ? argv[0] : "audcore");
    return EXIT_FATAL;
  }

  g_core.install_dir = argv[2];
  write_install_status("AUDSTART");
  if (open_control_device() < 0) return EXIT_FATAL;

  if (!g_core.control.no_driver) {
    int rc = driver_handshake();
    if (rc < 0) return EXIT_FATAL;
    if (rc > 0) return 0;  // another driver version: told, not an error
  }

  if (g_core.configurator) {
    run_configurator(g_core.install_dir);
    return 0;
  }

  if (load_driver_names() < 0) return EXIT_FATAL;
  if (g_core.driver_status == 0) {
    int rc = configure_driver();
    if (rc < 0) return EXIT_FATAL;
    if (rc > 0) return 0;
  }

  int all_ok = 1;
  if (report_cards(&all_ok) < 0) return EXIT_FATAL;
  run_mixer_commands(g_core.install_dir);
  apply_dspdevs_map(g_core.install_dir, g_core.control);
  if (all_ok) {
    std::printf("\nKelvane started OK.\n");
    write_install_status("AUDSTART_OK");
  }
  return 0;
}

}  // namespace kvl
