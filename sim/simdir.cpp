#include "simdir.h"

#include "common/atomic_file.h"
#include "seqsim.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kvl {

namespace {

// The synthesizers the loaded driver offers, one per line, for the C seam
// (seqsim_synths_read).
int write_synths(const std::string &root, const SimJson &state) {
  std::string path = root + SEQSIM_SYNTHS_FILE;
  if (!state.value("loaded", false)) {
    if (unlink(path.c_str()) < 0 && errno != ENOENT) return -1;
    return 0;
  }
  std::string text;
  for (const auto &s : state["synths"]) text += s.get<std::string>() + "\n";
  return replace_file(path.c_str(), text, false);
}

bool same_kind(const SimJson &a, const SimJson &b) {
  if (a.is_number_integer() || b.is_number_integer())
    return a.is_number_integer() && b.is_number_integer();
  return a.type() == b.type();
}

}  // namespace

SimLock::SimLock(const std::string &root) : fd_(seqsim_lock(root.c_str())) {}

SimLock::~SimLock() { seqsim_unlock(fd_); }

SimJson state_fresh() {
  SimJson s = SimJson::object();
  state_forget(s);
  s["loaded"] = true;
  return s;
}

void state_forget(SimJson &s) {
  s["loaded"] = false;
  s["status"] = 0;
  s["headers"] = SimJson::array();
  s["cards"] = SimJson::array();
  s["firmware"] = SimJson::object();
  s["options"] = SimJson::object();
  s["mixer_levels"] = SimJson::object();
  s["card_settings"] = SimJson::object();
  s["pnp_port"] = 0;
  s["pnp_devices"] = SimJson::array();
  s["audio"] = SimJson::array();
  s["mixers"] = SimJson::array();
  s["synths"] = SimJson::array();
  s["routing"] = {{"input", SimJson::array()}, {"output", SimJson::array()}, {"duplex", SimJson::array()}};
  if (!s.contains("faults")) s["faults"] = SimJson::array();
  if (!s.contains("machine_fault_calls")) s["machine_fault_calls"] = SimJson::object();
}

int state_load(const std::string &root, SimJson &state, std::string &err) {
  std::string path = root + "/state.json";
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    if (errno == ENOENT) {
      state = state_fresh();
      return 0;
    }
    err = path + ": cannot be read";
    return -1;
  }
  std::stringstream ss;
  ss << f.rdbuf();
  try {
    state = SimJson::parse(ss.str());
  } catch (const SimJson::exception &e) {
    err = path + ": " + e.what();
    return -1;
  }
  if (!state.is_object()) {
    err = path + ": not a JSON object";
    return -1;
  }
  // A state written by hand may lack keys; they take their fresh values.
  // A key of the wrong kind makes the state damaged.
  SimJson fresh = state_fresh();
  for (auto it = fresh.begin(); it != fresh.end(); ++it) {
    if (!state.contains(it.key())) {
      state[it.key()] = it.value();
    } else if (!same_kind(state[it.key()], it.value())) {
      err = path + ": \"" + it.key() + "\" has the wrong type";
      return -1;
    }
  }
  return 0;
}

int state_save(const std::string &root, const SimJson &state) {
  std::string text = state.dump(2, ' ', false, SimJson::error_handler_t::replace) + "\n";
  if (replace_file((root + "/state.json").c_str(), text, false) < 0) return -1;
  return write_synths(root, state);
}

int journal_append(const std::string &root, const SimJson &entry) {
  std::string line = entry.dump(-1, ' ', false, SimJson::error_handler_t::replace) + "\n";
  return seqsim_journal_append(root.c_str(), line.c_str());
}

int capture_append(const std::string &root, const void *data, size_t n) {
  return seqsim_capture_append(root.c_str(), data, n);
}

}  // namespace kvl
