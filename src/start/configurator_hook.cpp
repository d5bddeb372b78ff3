// Stand-in for the interactive configurator's entry: the configurator
// subsystem replaces this file with its own run_configurator when it lands.
// Until then configurator mode ends right after the handshake, with status 0.
#include "start/start.h"

namespace kvl {

void run_configurator(const std::string &) {}

}  // namespace kvl
