// The configurator's entry: what it loads before the screen starts, the
// driver list of "T", the one-configurator lock, and the screen around the
// interactive part.
#include "configurator/configurator.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cardcfg/devices_cfg.h"
#include "cardcfg/load.h"
#include "cardcfg/modules.h"
#include "cardcfg/resources.h"
#include "common/common.h"
#include "entry/entry.h"
#include "entry/handshake.h"
#include "hwdb/hwdb.h"
#include "tui/tui.h"
#include "tui/tui_asker.h"

namespace kvl {

namespace {

// Frees the loaded database however the entry ends.
struct LoadedDb {
  HwdbModel db;
  ~LoadedDb() { hwdb_model_free(&db); }
};

}  // namespace

int load_configurator_data(CoreRun &run, HwdbModel *db) {
  ConfigModel &m = run.model;
  if (run.driver_list) {
    if (load_driver_descriptions(run) < 0) return -1;
  } else {
    m.drivers.slots = 0;
    if (read_modules_lis(m) < 0) return -1;
  }
  return load_hardware_data(m, run.control, db);
}

int run_configurator(CoreRun &run) {
  ConfigModel &m = run.model;
  LoadedDb loaded;
  if (load_configurator_data(run, &loaded.db) < 0) return EXIT_FATAL;
  if (run.driver_list) {
    print_driver_list(m.drivers, stdout);
    return 0;
  }

  TuiAsker asker;
  Configurator cfg{run, loaded.db, asker, kvl_path(m.install_dir, DEVICES_CFG),
                   kvl_path(m.install_dir, MODULES_CFG)};
  if (tui_start() < 0) {
    std::fprintf(stderr, "%s\n", tui_start_error().c_str());
    return EXIT_FATAL;
  }
  if (configure(cfg) < 0) tui_fatal("");  // the reader has said why
  tui_end();
  return 0;
}

}  // namespace kvl
