#include "cardcfg/load.h"

#include <cstdio>
#include <string>

#include "cardcfg/model.h"
#include "cardcfg/modules.h"
#include "cardcfg/resources.h"
#include "common/common.h"
#include "hwdb/hwdb.h"
#include "hwdb/hwdb_dump.h"

namespace kvl {

int load_hardware_data(ConfigModel &model, const ControlDevice &control, HwdbModel *db) {
  std::string err;
  if (hwdb_load(kvl_path(model.install_dir, "etc/config.dat").c_str(), db, &err) < 0) {
    std::fputs(err.c_str(), stderr);
    return -1;
  }
  if (model.verbosity >= 7) hwdb_dump_model(*db, stderr);
  if (read_modules_dep(model) < 0) return -1;
  query_pci_irqs(model.resources, control);
  mark_resource_base(model.resources);
  return 0;
}

}  // namespace kvl
