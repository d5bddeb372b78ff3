// Answering one request: lock the machine, load it, inject faults, run the
// handler, journal the request and save what changed. Sequencer requests are
// answered by seqsim.c, as the C seam answers them.
#include "driver/driver.h"
#include "errnames.h"
#include "faults.h"
#include "requests.h"
#include "seqsim.h"
#include "sim.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kvl {

namespace {

void complain(const std::string &what) { std::fprintf(stderr, "kvlsim: %s\n", what.c_str()); }

// Runs the handler; on an injected fault the state and the record stay as
// they were, but the decoded fields are still journalled.
int answer(const Machine &m, SimJson &state, FaultStore &faults, SimJson &entry, uint32_t code,
           void *arg, bool journal) {
  SimHandler handler = find_handler(code);
  if (!handler) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", code);
    entry["code"] = hex;
    return -EINVAL;
  }
  if (!state.value("loaded", false)) return -ENODEV;
  size_t size = ioc_size(code);
  if (size && !arg) return -EFAULT;
  int fault = journal ? fault_for_request(faults, code) : 0;
  SimJson saved;
  if (fault) saved = state;
  std::vector<unsigned char> record(static_cast<unsigned char *>(arg),
                                    static_cast<unsigned char *>(arg) + size);
  SimCall call{m, state, entry, code, arg};
  int rc = handler(call);
  if (fault || rc < 0) {
    if (size) std::memcpy(arg, record.data(), size);
    if (fault) {
      state = saved;
      rc = -fault;
    }
  }
  return rc;
}

// What seqsim_answer asks of the driver, answered from the state and the
// fault store.
struct SequencerView {
  SimJson &state;
  FaultStore &faults;
};

int view_synths(void *ctx, int want, char name[KVL_SYNTH_NAME_BYTES]) {
  const SimJson &state = static_cast<SequencerView *>(ctx)->state;
  if (!state.value("loaded", false)) {
    errno = ENODEV;
    return -1;
  }
  const SimJson &synths = state["synths"];
  if (want >= 0 && want < static_cast<int>(synths.size()))
    set_field_text(name, KVL_SYNTH_NAME_BYTES, synths[want].get<std::string>());
  return static_cast<int>(synths.size());
}

int view_fault(void *ctx, unsigned long code) {
  auto *v = static_cast<SequencerView *>(ctx);
  return fault_for_request(v->faults, static_cast<uint32_t>(code));
}

// The journal line of a request: an entry the handler filled, or a line
// seqsim wrote; none for requests that are not journalled.
struct JournalLine {
  bool wanted = false;
  SimJson entry;
  std::string text;
};

// Makes the line say the request failed with err.
void journal_failed(JournalLine &j, int err) {
  if (!j.text.empty()) {
    // A sequencer line: taken apart and put together in the same key order.
    j.entry = SimJson::parse(j.text, nullptr, false);
    if (j.entry.is_discarded()) return;
    j.text.clear();
  }
  j.entry["result"] = -1;
  j.entry["errno"] = errno_name(err);
}

std::string journal_text(const JournalLine &j) {
  if (!j.text.empty()) return j.text;
  return j.entry.dump(-1, ' ', false, SimJson::error_handler_t::replace) + "\n";
}

int answer_sequencer(SimJson &state, FaultStore &faults, uint32_t code, void *arg, bool journal,
                     JournalLine &j) {
  SequencerView view{state, faults};
  seqsim_driver driver{&view, view_synths, journal ? view_fault : nullptr};
  char line[SEQSIM_LINE_BYTES];
  int rc = seqsim_answer(&driver, code, arg, line);
  if (journal && line[0]) {
    j.wanted = true;
    j.text = line;
  }
  return rc;
}

// Whether the machine lock is held; if not, says why on standard error and
// leaves errno as the lock set it.
static bool held_or_complain(const SimLock &lock, const std::string &root) {
  if (lock.held()) return true;
  int e = errno;
  complain(lock_problem(root, e));
  errno = e;
  return false;
}

// Loads the machine and, under the machine's lock, its state and fault
// store; runs act(machine, state, faults, journal line) and saves the state
// and the store when act changed them. Then, with the outcome final, appends
// the journal line: a state or store that cannot be saved makes the request
// fail with the save's errno (the journal says so), and a journal line that
// cannot be written takes the saved state and store back. Returns act's
// result (a negative errno when the request fails), or -EIO after a line on
// standard error when the machine cannot be read.
template <typename Act>
int with_state(const std::string &root, Act act) {
  std::string err;
  const Machine *machine = machine_cached(root, err);
  if (!machine) {
    complain(err);
    return -EIO;
  }
  const Machine &m = *machine;
  SimLock lock(root);
  if (!held_or_complain(lock, root)) return errno == EBUSY ? -EBUSY : -EIO;
  SimJson state;
  std::string text;
  if (state_load(root, state, text, err) < 0) {
    complain(err);
    return -EIO;
  }
  const std::string synths = synths_text(state);
  FaultStore faults;
  int rc;
  JournalLine j;
  try {
    if (fault_store_load(root, m, state, faults, err) < 0) {
      complain(err);
      return -EIO;
    }
    rc = act(m, state, faults, j);
  } catch (const SimJson::exception &e) {  // a state.json edited into a wrong shape
    complain(root + "/state.json: " + e.what());
    return -EIO;
  }
  std::string failed;  // the file that could not be saved
  int saved = state_save(root, state, text, &synths, failed);
  if (saved == 0) {
    failed = root + SEQSIM_FAULTS_FILE;
    saved = fault_store_save(root, faults);
  }
  if (saved < 0) {
    int e = errno;
    complain(failed + ": " + std::strerror(e));
    journal_failed(j, e);
    rc = -e;
  }
  if (j.wanted && seqsim_journal_append(root.c_str(), journal_text(j).c_str()) < 0) {
    int e = errno;
    complain(root + SEQSIM_JOURNAL_FILE + ": " + std::strerror(e));
    SimJson old;
    std::string now, ignored;
    if (rc >= 0 && state_load(root, old, now, ignored) == 0 && !text.empty())
      state_save(root, SimJson::parse(text), now, nullptr, ignored);
    if (rc >= 0) fault_store_restore(root, faults);
    rc = -e;
  }
  return rc;
}

int request_locked(const std::string &root, uint32_t code, void *arg, bool journal) {
  return with_state(root, [&](const Machine &m, SimJson &state, FaultStore &faults, JournalLine &j) {
    if (seqsim_is_request(code)) return answer_sequencer(state, faults, code, arg, journal, j);
    j.wanted = journal;
    j.entry = {{"request", request_label(code)}, {"result", 0}, {"errno", nullptr}};
    int rc = answer(m, state, faults, j.entry, code, arg, journal);
    j.entry["result"] = rc < 0 ? -1 : rc;
    if (rc < 0) j.entry["errno"] = errno_name(-rc);
    return rc;
  });
}

}  // namespace

int sim_request_direct(const std::string &root, uint32_t code, void *arg) {
  int rc = request_locked(root, code, arg, false);
  if (rc < 0) {
    errno = -rc;
    return -1;
  }
  return rc;
}

int sim_request(const char *root, int, uint32_t code, void *arg) {
  int rc = request_locked(root, code, arg, true);
  if (rc < 0) {
    errno = -rc;
    return -1;
  }
  return rc;
}

int sim_open_check(const char *root, const char *syspath, int major, int minor) {
  int rc = with_state(root, [&](const Machine &m, SimJson &state, FaultStore &faults, JournalLine &) {
    int fault = fault_for_open(faults, syspath);
    if (fault) return -fault;
    if (major != m.major) return 0;
    if (!state.value("loaded", false)) return -ENODEV;
    // A node without an audio device behind it, as the driver answers.
    int dev = audio_device_of_minor(minor);
    if (dev >= 0 && dev >= static_cast<int>(state["audio"].size())) return -ENXIO;
    return 0;
  });
  if (rc < 0) {
    errno = -rc;
    return -1;
  }
  return 0;
}

int audio_device_of_minor(int minor) {
  if (minor < 0 || minor > 255) return -1;
  int cls = minor % 16, index = minor / 16;
  if (cls >= 3 && cls <= 5) return index;
  if (cls >= 10 && cls <= 12) return 16 * (cls - 9) + index;
  return -1;
}

int sim_audio_io(const char *root, int minor, size_t n, bool played) {
  int dev = audio_device_of_minor(minor);
  int rc = with_state(root, [&](const Machine &, SimJson &state, FaultStore &, JournalLine &) {
    if (!state.value("loaded", false)) return -ENODEV;
    SimJson &audio = state["audio"];
    if (dev < 0 || dev >= static_cast<int>(audio.size())) return -ENXIO;
    const char *key = played ? "played" : "recorded";
    audio[dev][key] = audio[dev].value(key, static_cast<uint64_t>(0)) + n;
    return 0;
  });
  if (rc < 0) {
    errno = -rc;
    return -1;
  }
  return 0;
}

int sim_sync(const char *root) {
  SimLock lock(root);
  if (!held_or_complain(lock, root)) return -1;
  return journal_append(root, SimJson{{"request", "sync"}});
}

int sim_capture(const char *root, const void *data, size_t n) {
  SimLock lock(root);
  if (!held_or_complain(lock, root)) return -1;
  return capture_append(root, data, n);
}

}  // namespace kvl
