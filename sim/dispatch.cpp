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
int answer(const Machine &m, SimJson &state, SimJson &entry, uint32_t code, void *arg,
           bool journal) {
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
  int fault = journal ? fault_for_request(m, state, code) : 0;
  SimJson saved = state;
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

// What seqsim_answer asks of the driver, answered from the state.
struct SequencerView {
  const Machine &machine;
  SimJson &state;
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
  return fault_for_request(v->machine, v->state, static_cast<uint32_t>(code));
}

int answer_sequencer(const std::string &root, const Machine &m, SimJson &state, uint32_t code,
                     void *arg, bool journal, bool *broken) {
  SequencerView view{m, state};
  seqsim_driver driver{&view, view_synths, journal ? view_fault : nullptr};
  char line[SEQSIM_LINE_BYTES];
  int rc = seqsim_answer(&driver, code, arg, line);
  if (journal && line[0] && seqsim_journal_append(root.c_str(), line) < 0) {
    complain(root + "/journal.jsonl: " + std::strerror(errno));
    *broken = true;
  }
  return rc;
}

// Loads the machine and, under the machine's lock, its state; runs
// act(machine, state, &broken) and saves the state when act changed it.
// Returns act's result (a negative errno when the request fails), or -EIO
// after a line on standard error when the machine cannot be read or written
// (act sets broken when it could not write the machine).
template <typename Act>
int with_state(const std::string &root, Act act) {
  Machine m;
  std::string err;
  if (machine_load(root, m, err) < 0) {
    complain(err);
    return -EIO;
  }
  SimLock lock(root);
  if (!lock.held()) {
    complain(root + "/.lock: " + std::strerror(errno));
    return -EIO;
  }
  SimJson state;
  if (state_load(root, state, err) < 0) {
    complain(err);
    return -EIO;
  }
  const SimJson before = state;
  int rc;
  bool broken = false;
  try {
    fault_mirror_merge(root, m, state);
    rc = act(m, state, &broken);
  } catch (const SimJson::exception &e) {  // a state.json edited into a wrong shape
    complain(root + "/state.json: " + e.what());
    return -EIO;
  }
  if (broken) return -EIO;
  if (state != before && state_save(root, state) < 0) {
    complain(root + "/state.json: " + std::strerror(errno));
    return -EIO;
  }
  if (fault_mirror_save(root, m, state) < 0) {
    complain(root + SEQSIM_FAULTS_FILE + ": " + std::strerror(errno));
    return -EIO;
  }
  return rc;
}

int request_locked(const std::string &root, uint32_t code, void *arg, bool journal) {
  return with_state(root, [&](const Machine &m, SimJson &state, bool *broken) {
    if (seqsim_is_request(code)) return answer_sequencer(root, m, state, code, arg, journal, broken);
    SimJson entry = {{"request", request_label(code)}, {"result", 0}, {"errno", nullptr}};
    int rc = answer(m, state, entry, code, arg, journal);
    entry["result"] = rc < 0 ? -1 : rc;
    if (rc < 0) entry["errno"] = errno_name(-rc);
    if (journal && journal_append(root, entry) < 0) {
      complain(root + "/journal.jsonl: " + std::strerror(errno));
      *broken = true;
    }
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
  int rc = with_state(root, [&](const Machine &m, SimJson &state, bool *) {
    int fault = fault_for_open(m, state, syspath);
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
  int rc = with_state(root, [&](const Machine &, SimJson &state, bool *) {
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
  return journal_append(root, SimJson{{"request", "sync"}});
}

int sim_capture(const char *root, const void *data, size_t n) {
  SimLock lock(root);
  return capture_append(root, data, n);
}

}  // namespace kvl
