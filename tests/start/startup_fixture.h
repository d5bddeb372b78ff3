// A simulated machine and an installation directory for running audcore in
// start-up mode, with the driver either fresh or already running cards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installation.h"
#include "support.h"

namespace starttest {

// One ISA card present (SB16 at 0x220, IRQ 5, DMA 1 and 5) and the drivers
// SB16 (key 3) and MPU401 (key 4).
inline const char *kMachine = R"({
  "version": "0x039999", "major": 14,
  "drivers": [{"name": "SB16", "key": 3}, {"name": "MPU401", "key": 4}],
  "isa": [{"card": "SB16", "driver": "SB16", "port": "0x220", "irq": 5, "dma": 1, "dma2": 5,
           "audio": ["SB16 DSP"], "mixers": ["SB16 mixer"]}]
})";

// The devices.cfg line of kMachine's card.
inline const char *kCard = "SB16 P220 I5 D1 d5\n";

// An empty installation directory: audcore finds in it only what a test
// puts there.
struct Startup : kvltest::Installation {
  explicit Startup(const std::string &machine_json = kMachine) : Installation(machine_json) {}

  // Puts a card into the driver directly and starts it, so the driver status
  // is no longer 0.
  void run_cards(const std::vector<std::vector<std::string>> &cards) const {
    for (const auto &c : cards) {
      auto r = machine.kvlsim("addcard", c);
      ASSERT_EQ(r.status, 0) << r.err;
    }
    auto r = machine.kvlsim("activate");
    ASSERT_EQ(r.status, 0) << r.err;
  }
};

}  // namespace starttest
