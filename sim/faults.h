// Injected faults: those of machine.json and those added with "kvlsim fault"
// (kept in state.json). Each counts the calls it matches, so a fault with an
// nth fires on that call only.
#pragma once

#include "machine.h"
#include "simdir.h"

#include <cstdint>
#include <string>

namespace kvl {

// Counts this request against every matching fault. Returns the errno of the
// first fault that fires, or 0.
int fault_for_request(const Machine &m, SimJson &state, uint32_t code);
// The same for opening a system path such as /dev/mixer0.
int fault_for_open(const Machine &m, SimJson &state, const std::string &syspath);

}  // namespace kvl
