// audcore: start-up back end and configurator of the sound system. The entry
// owns the run record, does what both modes share, then runs the mode the
// option word chose.
#include <memory>

#include "common/common.h"
#include "configurator/configurator.h"
#include "entry/entry.h"
#include "start/startup.h"
#include "sys/sys.h"

int main(int argc, char **argv) {
  if (kvl::open_standard_descriptors() < 0) return kvl::EXIT_FATAL;
  if (kvl::sys_use_environment() < 0) {
    kvl::print_error("KVL_SIMROOT");
    return kvl::EXIT_FATAL;
  }
  auto run = std::make_unique<kvl::CoreRun>();
  int rc = kvl::start_entry(*run, argc, argv);
  if (rc < 0) return kvl::EXIT_FATAL;
  if (rc > 0) return 0;
  if (run->configurator) return kvl::run_configurator(*run);
  return kvl::run_startup(*run);
}
