// The files of a simulated machine directory: the lock, state.json,
// journal.jsonl, sequencer.synths and sequencer.capture.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace kvl {

using SimJson = nlohmann::ordered_json;

// Holds the exclusive lock on DIR/.lock for its lifetime.
class SimLock {
 public:
  explicit SimLock(const std::string &root);
  ~SimLock();
  SimLock(const SimLock &) = delete;
  SimLock &operator=(const SimLock &) = delete;
  // False when the lock could not be taken (errno set).
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The state of a freshly loaded driver: loaded, status 0, nothing configured.
SimJson state_fresh();
// Forgets what a driver unload forgets, keeping the injected faults.
void state_forget(SimJson &state);

// Reads DIR/state.json (a missing file gives the fresh state). Returns 0, or
// -1 with err naming the file and the reason.
int state_load(const std::string &root, SimJson &state, std::string &err);
// Replaces DIR/state.json atomically and refreshes DIR/sequencer.synths.
// Returns 0, or -1 with errno set.
int state_save(const std::string &root, const SimJson &state);

// Appends one object as a line to DIR/journal.jsonl. Returns 0 or -1.
int journal_append(const std::string &root, const SimJson &entry);

// Appends bytes to DIR/sequencer.capture. Returns 0 or -1 with errno set.
int capture_append(const std::string &root, const void *data, size_t n);

}  // namespace kvl
