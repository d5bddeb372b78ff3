// A simulated machine and an installation directory for running audcore in
// start-up mode, with the driver either fresh or already running cards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

struct Startup {
  kvltest::SimMachine machine;
  kvltest::TempDir install;

  explicit Startup(const std::string &machine_json = kMachine) : machine(machine_json) {}

  // Runs audcore WORD DIR with text on standard input.
  kvltest::RunResult audcore(const std::string &word, const std::string &text = "") const {
    return kvltest::run({kvltest::bin("audcore"), word, install.path()}, {machine.env()}, text);
  }
  std::string status() const { return kvltest::read_file(install / ".status"); }

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

  // The request labels journalled from entry `from` on.
  std::vector<std::string> requests_since(size_t from) const {
    std::vector<std::string> v;
    auto j = machine.journal();
    for (size_t i = from; i < j.size(); i++) v.push_back(j[i].value("request", ""));
    return v;
  }
};

}  // namespace starttest
