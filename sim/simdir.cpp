#include "simdir.h"

#include "common/atomic_file.h"
#include "common/text.h"
#include "seqsim.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvl {

namespace {

// The synthesizers the loaded driver offers, one per line, for the C seam
// (seqsim_synths_read); no file while it is unloaded. Rare, so replaced by
// rename.
int write_synths(const std::string &root, const std::string &text) {
  std::string path = root + SEQSIM_SYNTHS_FILE;
  if (text == "-") {
    if (unlink(path.c_str()) < 0 && errno != ENOENT) return -1;
    return 0;
  }
  return replace_file(path.c_str(), text, false);
}

// Rewrites the file at path with text in place. The room is taken first, so
// a full disk or the file-size limit fails before a byte is overwritten; a
// write that fails later puts old back.
int rewrite_in_place(const std::string &path, const std::string &text, const std::string &old) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  int rc = 0;
  if (text.size() > old.size()) {
    struct sigaction ignore {}, saved{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &saved);
    int err = posix_fallocate(fd, 0, static_cast<off_t>(text.size()));
    sigaction(SIGXFSZ, &saved, nullptr);
    if (err != 0 && err != EOPNOTSUPP && err != EINVAL) {
      errno = err;
      rc = -1;
    }
  }
  if (rc == 0 && (seqsim_write_all(fd, text.data(), text.size(), 0) < 0 ||
                  ftruncate(fd, static_cast<off_t>(text.size())) < 0)) {
    int e = errno;
    if (seqsim_write_all(fd, old.data(), old.size(), 0) == 0)
      (void)!ftruncate(fd, static_cast<off_t>(old.size()));
    errno = e;
    rc = -1;
  }
  int e = errno;
  if (close(fd) < 0 && rc == 0) return -1;
  errno = e;
  return rc;
}

}  // namespace

namespace {

bool same_kind(const SimJson &a, const SimJson &b) {
  if (a.is_number_integer() || b.is_number_integer())
    return a.is_number_integer() && b.is_number_integer();
  return a.type() == b.type();
}

// The entries of the state's lists that requests read by key. A hand-written
// entry may lack one of these keys (it takes the value here) but must be an
// object, and a key present must be of this kind: requests read entries
// without asking for each key first.
const SimJson &entry_prototypes() {
  static const SimJson p = {
      {"cards", {{"key", 0}, {"driver", ""}, {"name", ""}, {"port", 0}, {"irq", 0}, {"dma1", -1}, {"dma2", -1}}},
      {"headers", {{"name", ""}, {"description", ""}}},
      {"audio", {{"name", ""}, {"channels", 0}, {"ac3", false}, {"card", 0}}},
  };
  return p;
}

// Fills and checks the entries of the lists above; "" or the problem.
std::string check_entries(SimJson &state) {
  const SimJson &protos = entry_prototypes();
  for (auto list = protos.begin(); list != protos.end(); ++list) {
    SimJson &entries = state[list.key()];
    for (size_t i = 0; i < entries.size(); i++) {
      SimJson &e = entries[i];
      std::string where = "\"" + list.key() + "\" entry " + std::to_string(i);
      if (!e.is_object()) return where + " is not an object";
      for (auto k = list.value().begin(); k != list.value().end(); ++k) {
        if (!e.contains(k.key())) e[k.key()] = k.value();
        else if (!same_kind(e[k.key()], k.value())) return where + ": \"" + k.key() + "\" has the wrong type";
      }
    }
  }
  return "";
}

}  // namespace

SimLock::SimLock(const std::string &root, bool shared)
    : fd_(seqsim_lock_wait(root.c_str(), shared, SEQSIM_LOCK_WAIT_MS)) {}

SimLock::~SimLock() { seqsim_unlock(fd_); }

std::string lock_problem(const std::string &root, int err) {
  if (err == EBUSY) return root + " is busy (locked by another process)";
  return root + SEQSIM_LOCK_FILE + ": " + std::strerror(err);
}

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
}

namespace {

// The state this process last read or wrote, with the text of state.json it
// stands for: a request whose state.json still holds that text needs no
// parse, and one that leaves the state as it was needs no dump.
struct StateCache {
  bool valid = false;
  std::string root, text;
  SimJson state;
};
StateCache g_state;

void remember(const std::string &root, const std::string &text, const SimJson &state) {
  g_state.valid = !text.empty();
  g_state.root = root;
  g_state.text = text;
  g_state.state = state;
}

}  // namespace

int state_load(const std::string &root, SimJson &state, std::string &text, std::string &err) {
  std::string path = root + "/state.json";
  text.clear();
  if (read_text_file(path.c_str(), text) < 0) {
    if (errno == ENOENT) {
      state = state_fresh();
      return 0;
    }
    err = path + ": cannot be read";
    return -1;
  }
  if (g_state.valid && g_state.root == root && g_state.text == text) {
    state = g_state.state;
    return 0;
  }
  g_state.valid = false;
  try {
    state = SimJson::parse(text);
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
  std::string problem = check_entries(state);
  if (!problem.empty()) {
    err = path + ": " + problem;
    return -1;
  }
  remember(root, text, state);
  return 0;
}

std::string synths_text(const SimJson &state) {
  if (!state.value("loaded", false)) return "-";
  std::string text;
  for (const auto &s : state["synths"]) text += s.get<std::string>() + "\n";
  return text;
}

int state_save(const std::string &root, const SimJson &state, const std::string &old_text,
               const std::string *old_synths, std::string &path) {
  path = root + "/state.json";
  bool same = g_state.valid && g_state.root == root && g_state.text == old_text &&
              g_state.state == state;
  if (!same) {
    std::string text = state.dump(2, ' ', false, SimJson::error_handler_t::replace) + "\n";
    if (text != old_text && rewrite_in_place(path, text, old_text) < 0) {
      g_state.valid = false;
      return -1;
    }
    remember(root, text, state);
  }
  std::string synths = synths_text(state);
  path = root + SEQSIM_SYNTHS_FILE;
  if ((!old_synths || synths != *old_synths) && write_synths(root, synths) < 0) return -1;
  return 0;
}

int journal_append(const std::string &root, const SimJson &entry) {
  std::string line = entry.dump(-1, ' ', false, SimJson::error_handler_t::replace) + "\n";
  return seqsim_journal_append(root.c_str(), line.c_str());
}

int capture_append(const std::string &root, const void *data, size_t n) {
  return seqsim_capture_append(root.c_str(), data, n);
}

}  // namespace kvl
