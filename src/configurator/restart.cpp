// Self test and update from the main menu. Not built yet: both say so.
#include "configurator/restart.h"

#include "cardcfg/asker.h"
#include "configurator/configurator.h"

namespace kvl {

void self_test_item(Configurator &cfg, int) {
  cfg.asker.notice("This function is not available yet", true);
}

void update_item(Configurator &cfg) { cfg.asker.notice("This function is not available yet", true); }

}  // namespace kvl
