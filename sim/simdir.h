// The files of a simulated machine directory: the lock, state.json,
// journal.jsonl, sequencer.synths and sequencer.capture.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace kvl {

using SimJson = nlohmann::ordered_json;

// Holds the machine's lock on DIR/.lock for its lifetime: exclusive, or
// shared for a reader. A lock another process holds for more than 10 s is
// not taken (EBUSY).
class SimLock {
 public:
  explicit SimLock(const std::string &root, bool shared = false);
  ~SimLock();
  SimLock(const SimLock &) = delete;
  SimLock &operator=(const SimLock &) = delete;
  // False when the lock could not be taken (errno set).
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The complaint for a lock that could not be taken, without "kvlsim: ":
// "DIR is busy (locked by another process)" for EBUSY, else "DIR/.lock: error".
std::string lock_problem(const std::string &root, int err);

// The state of a freshly loaded driver: loaded, status 0, nothing configured.
SimJson state_fresh();
// Forgets what a driver unload forgets (the injected faults, in the fault
// store, stay).
void state_forget(SimJson &state);

// Reads DIR/state.json (a missing file gives the fresh state, and text
// empty); text receives the file's bytes. Returns 0, or -1 with err naming
// the file and the reason.
int state_load(const std::string &root, SimJson &state, std::string &text, std::string &err);

// The lines of DIR/sequencer.synths for a state: its synthesizers while the
// driver is loaded; "-" (which no list gives) while it is not.
std::string synths_text(const SimJson &state);

// Writes state to DIR/state.json when its text differs from old_text (what
// state_load read), and DIR/sequencer.synths when synths_text(state) differs
// from old_synths (null: always). Called under the exclusive lock, so
// state.json is rewritten in place: no reader sees it half written, and a
// save that fails (disk full, file-size limit) leaves the old text. Returns
// 0, or -1 with errno set and path naming the file that failed.
int state_save(const std::string &root, const SimJson &state, const std::string &old_text,
               const std::string *old_synths, std::string &path);

// Appends one object as a line to DIR/journal.jsonl. Returns 0 or -1.
int journal_append(const std::string &root, const SimJson &entry);

// Appends bytes to DIR/sequencer.capture. Returns 0 or -1 with errno set.
int capture_append(const std::string &root, const void *data, size_t n);

}  // namespace kvl
