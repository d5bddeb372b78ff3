// Injected faults, kept in the machine's one fault store, DIR/faults.txt
// (format in seqsim.h), which KVLlib's C seam reads and counts in too. Each
// fault counts the calls it matches, so a fault with an nth fires on that
// call only, whichever side makes it.
//
// machine.json's faults are taken into the store when the machine is made
// and whenever they change; what an older simulator kept elsewhere (the
// "faults" and "machine_fault_calls" of state.json, the counts of its
// mirror) is moved into the store when it is next read.
#pragma once

#include "machine.h"
#include "seqsim.h"
#include "simdir.h"

#include <cstdint>
#include <string>

namespace kvl {

// The store as one request or command reads it, under the machine's lock.
struct FaultStore {
  seqsim_faults faults{};
  std::string text;      // the file as read ("" when there was none)
  bool existed = false;  // there was a file
  bool changed = false;  // the faults or their counts differ from text

  FaultStore() = default;
  ~FaultStore() { seqsim_faults_free(&faults); }
  FaultStore(const FaultStore &) = delete;
  FaultStore &operator=(const FaultStore &) = delete;
};

// Reads the store of the machine at root, takes in the faults of m when they
// changed and moves the older keys out of state into it. Returns 0, or -1
// with err naming the file and the problem (a damaged store or state).
int fault_store_load(const std::string &root, const Machine &m, SimJson &state, FaultStore &store,
                     std::string &err);
// The store of a machine just made: its machine.json's faults, no calls.
std::string fault_store_fresh(const Machine &m);

// Counts this request, or this opening of a system path such as
// /dev/mixer0, against every matching fault. Returns the errno of the first
// fault that fires, or 0.
int fault_for_request(FaultStore &store, uint32_t code);
int fault_for_open(FaultStore &store, const std::string &syspath);

// Adds a fault (kvlsim fault): a request (label, name or code) or an
// absolute path opened, failing with the errno named err on every call
// (nth 0) or on the nth. Returns 0, or -1 with errno EINVAL for a text
// holding a line break.
int fault_add(FaultStore &store, const std::string &request, const std::string &open,
              const std::string &err, int nth);

// Writes the store when it changed. Returns 0, or -1 with errno set.
int fault_store_save(const std::string &root, FaultStore &store);
// Puts the store back as it was read, after its changes were saved, for a
// request that is taken back.
void fault_store_restore(const std::string &root, const FaultStore &store);

}  // namespace kvl
