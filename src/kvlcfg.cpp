// kvlcfg: the card configuration of a Kelvane installation checked, reported
// and changed from scripts.
#include "common/common.h"
#include "kvlcfg/kvlcfg.h"
#include "sys/sys.h"

int main(int argc, char **argv) {
  if (kvl::sys_use_environment() < 0) {
    kvl::print_error("KVL_SIMROOT");
    return kvl::KVLCFG_USAGE;
  }
  return kvl::kvlcfg_main(argc, argv);
}
