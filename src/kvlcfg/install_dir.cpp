// The installation directory that /etc/kvl.conf names, read by the reader
// the control panel uses, so that both programs read the file alike.
#include <memory>
#include <string>

#include "kvlcfg/kvlcfg.h"
#include "panel/panel.h"

namespace kvl {

int default_install_dir(std::string *dir, std::string *error) {
  auto st = std::make_unique<PanelState>();
  if (load_install_dir(*st, error) < 0) return -1;
  *dir = st->install_dir;
  return 0;
}

}  // namespace kvl
