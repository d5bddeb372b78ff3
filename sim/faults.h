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

// The faults mirror, DIR/faults.txt (format in seqsim.h): the faults the C
// seam can meet (sequencer requests, opens) with their counts, in plain text,
// since the C seam reads no JSON. Both are called under the machine's lock.
//
// Takes the calls the C seam counted into state: a count in the mirror above
// the state's wins, for a fault the mirror line still describes (and, for
// machine.json's faults, only while the mirror names the machine.json now
// there). text receives the mirror as read (empty when there is none).
// Returns false, reading nothing, when machine and state have no fault the C
// side can meet (then it has counted nothing).
bool fault_mirror_merge(const std::string &root, const Machine &m, SimJson &state,
                        std::string &text);
// Rewrites the mirror from the machine and state when its text changes from
// old (what fault_mirror_merge read; null: read it now). Returns 0, or -1
// with errno set.
int fault_mirror_save(const std::string &root, const Machine &m, const SimJson &state,
                      const std::string *old = nullptr);

}  // namespace kvl
