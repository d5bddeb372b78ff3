// kvlcfg: the card configuration of a Kelvane installation checked, reported
// and changed from scripts.
#include "kvlcfg/kvlcfg.h"

int main(int argc, char **argv) { return kvl::kvlcfg_main(argc, argv); }
