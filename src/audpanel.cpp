// audpanel: the control panel of a running driver (self test and /dev/dsp
// routing). Owns the run's PanelState and decides where every message goes:
// before the text screen on standard error, after it through tui_fatal or
// once the screen has ended.
#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "common/common.h"
#include "common/program_info.h"
#include "panel/panel.h"
#include "sys/sys.h"
#include "tui/tui.h"
#include "tui/tui_asker.h"

namespace {

void explain_open_error() {
  if (const char *text = kvl::open_error_explanation(errno)) std::fputs(text, stderr);
}

void self_test(const std::string &install_dir) { kvl::run_kvltest_window(install_dir, "-C"); }

}  // namespace

int main(int argc, char **argv) {
  if (kvl::open_standard_descriptors() < 0) return 255;
  if (kvl::sys_use_environment() < 0) {
    kvl::print_error("KVL_SIMROOT");
    return 255;
  }
  kvl::PanelState st;
  // Only the whole first argument: any other option word keeps its letters.
  if (argc > 1 && kvl::print_program_info(argv[1], "audpanel", kvl::PANEL_USAGE)) return 0;
  std::string warnings;
  kvl::panel_option_warnings(argc, argv, &warnings);
  std::fputs(warnings.c_str(), stderr);

  st.control.fd = kvl::sys_open("/dev/mixer0", O_RDWR);
  if (st.control.fd < 0) {
    kvl::print_error("/dev/mixer0");
    explain_open_error();
    return 255;
  }
  std::string error;
  if (kvl::load_install_dir(st, &error) != 0) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 255;
  }

  if (kvl::tui_start() < 0) {
    std::fprintf(stderr, "%s\n", kvl::tui_start_error().c_str());
    return 255;
  }
  if (kvl::check_driver(st, &error) != 0) kvl::tui_fatal(error);
  kvl::TuiAsker asker;
  kvl::Panel panel{st, asker, self_test};
  kvl::control_menu(panel);
  kvl::tui_end();
  for (const std::string &line : st.after_screen) std::fprintf(stderr, "%s\n", line.c_str());
  return 0;
}
