// Helpers for the simulator's tests: requests straight to the simulator.
#pragma once

#include "driver/driver.h"
#include "sim/sim.h"
#include "support.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace simtest {

// Issues a request on a machine; returns the result, or -errno on failure.
inline int req(const kvltest::SimMachine &m, uint32_t code, void *arg) {
  errno = 0;
  int rc = kvl::sim_request(m.root().c_str(), 0, code, arg);
  return rc < 0 ? -errno : rc;
}

inline int add_card(const kvltest::SimMachine &m, int key, const char *name, int port, int irq,
                    int dma1, int dma2) {
  kvl::CardConfigRecord r{};
  r.key = key;
  std::strncpy(r.name, name, sizeof r.name - 1);
  r.port = port;
  r.irq = irq;
  r.dma1 = dma1;
  r.dma2 = dma2;
  return req(m, kvl::CTL_ADD_CARD, &r);
}

inline int activate(const kvltest::SimMachine &m) {
  int32_t zero = 0;
  return req(m, kvl::CTL_ACTIVATE, &zero);
}

inline kvl::CardInfo card_info(const kvltest::SimMachine &m, int index) {
  kvl::CardInfo ci{};
  ci.key = index;
  req(m, kvl::CTL_GET_CARD_INFO, &ci);
  return ci;
}

inline nlohmann::json state(const kvltest::SimMachine &m) {
  return nlohmann::json::parse(kvltest::read_file(m.root() + "/state.json"));
}

}  // namespace simtest
