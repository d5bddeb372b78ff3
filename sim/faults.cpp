#include "faults.h"

#include "common/text.h"
#include "crc32.h"
#include "errnames.h"
#include "requests.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kvl {

namespace {

// One fault while the store is put together; its text becomes a line.
struct StoreLine {
  std::string id, err;
  int nth = 0;
  int calls = 0;
  bool open = false;
  std::string target;
};

bool same_definition(const StoreLine &a, const StoreLine &b) {
  return a.err == b.err && a.nth == b.nth && a.open == b.open && a.target == b.target;
}

StoreLine line_of(const seqsim_fault &f) {
  return {f.id, f.err, f.nth, f.calls, f.open != 0, f.target};
}

// The text of a store of these lines; "" (with errno set) when it cannot be
// made.
std::string store_text(const std::string &digest, const std::vector<StoreLine> &lines) {
  std::vector<seqsim_fault> faults(lines.size());
  for (size_t i = 0; i < lines.size(); i++) {
    seqsim_fault &f = faults[i];
    std::snprintf(f.id, sizeof f.id, "%s", lines[i].id.c_str());
    std::snprintf(f.err, sizeof f.err, "%s", lines[i].err.c_str());
    f.nth = lines[i].nth;
    f.calls = lines[i].calls;
    f.open = lines[i].open;
    f.target = lines[i].target.c_str();
  }
  char *text = seqsim_faults_text(digest.c_str(), faults.data(), static_cast<int>(faults.size()));
  if (!text) return "";
  std::string out = text;
  std::free(text);
  return out;
}

// The lines of machine.json's faults, uncounted.
std::vector<StoreLine> machine_lines(const Machine &m) {
  std::vector<StoreLine> out;
  for (size_t i = 0; i < m.faults.size(); i++) {
    const SimFault &f = m.faults[i];
    bool open = f.request.empty();
    out.push_back({"m" + std::to_string(i), errno_name(f.err), f.nth, 0, open,
                   open ? f.open : f.request});
  }
  return out;
}

// What tells machine.json's faults apart: the CRC-32 of their lines, ""
// for none.
std::string machine_digest(const std::vector<StoreLine> &lines) {
  if (lines.empty()) return "";
  std::string text = store_text("", lines);
  char hex[SEQSIM_FAULT_DIGEST_BYTES];
  std::snprintf(hex, sizeof hex, "%08x",
                crc32_update(0, reinterpret_cast<const unsigned char *>(text.data()), text.size()));
  return hex;
}

bool is_machine_line(const StoreLine &l) { return !l.id.empty() && l.id[0] == 'm'; }

// machine.json's faults in place of the ones taken from it before; a fault
// that stayed as it was keeps its count.
void retake_machine(std::vector<StoreLine> &lines, std::vector<StoreLine> fresh) {
  std::vector<StoreLine> added;
  for (const StoreLine &l : lines) {
    if (!is_machine_line(l)) {
      added.push_back(l);
      continue;
    }
    for (StoreLine &f : fresh)
      if (f.id == l.id && same_definition(f, l)) f.calls = l.calls;
  }
  fresh.insert(fresh.end(), added.begin(), added.end());
  lines = fresh;
}

StoreLine *line_with_id(std::vector<StoreLine> &lines, const std::string &id) {
  for (StoreLine &l : lines)
    if (l.id == id) return &l;
  return nullptr;
}

// An id s<n> no line has.
std::string free_added_id(const std::vector<StoreLine> &lines) {
  long next = 0;
  for (const StoreLine &l : lines)
    if (l.id.size() > 1 && l.id[0] == 's') next = std::max(next, std::strtol(l.id.c_str() + 1, nullptr, 10) + 1);
  return "s" + std::to_string(next);
}

int counted(const SimJson &counter) { return counter.is_number_integer() ? counter.get<int>() : 0; }

// state.json's "faults" and "machine_fault_calls", where an older simulator
// kept the faults added by kvlsim fault and the calls of all: moved into the
// lines (a count above the line's wins; a fault already moved, as s<i> with
// its definition, is not added twice) and out of the state. "" or the
// problem.
std::string take_state_keys(std::vector<StoreLine> &lines, SimJson &state) {
  if (state.contains("machine_fault_calls")) {
    const SimJson &calls = state["machine_fault_calls"];
    if (!calls.is_object()) return "\"machine_fault_calls\" has the wrong type";
    for (auto it = calls.begin(); it != calls.end(); ++it) {
      StoreLine *l = line_with_id(lines, "m" + it.key());
      if (l && counted(it.value()) > l->calls) l->calls = counted(it.value());
    }
    state.erase("machine_fault_calls");
  }
  if (state.contains("faults")) {
    const SimJson &faults = state["faults"];
    if (!faults.is_array()) return "\"faults\" has the wrong type";
    for (size_t i = 0; i < faults.size(); i++) {
      const SimJson &f = faults[i];
      if (!f.is_object()) continue;
      std::string request = f.value("request", ""), open = f.value("open", "");
      std::string err = f.value("errno", "");
      // A fault naming neither, or a text no line can hold, never fired.
      StoreLine x{"s" + std::to_string(i), errno_value(err.c_str()) ? err : "none",
                  f.value("nth", 0), f.contains("calls") ? counted(f["calls"]) : 0,
                  request.empty(), request.empty() ? open : request};
      if (x.target.empty() || x.target.find('\n') != std::string::npos) continue;
      StoreLine *l = line_with_id(lines, x.id);
      if (l && same_definition(*l, x)) {
        l->calls = std::max(l->calls, x.calls);
        continue;
      }
      if (l) x.id = free_added_id(lines);
      lines.push_back(x);
    }
    state.erase("faults");
  }
  return "";
}

// The counts of an older simulator's mirror (which held the faults the C
// seam could meet, each request by its code): a count above the line's wins
// where the mirror line still describes that fault, for machine.json's
// faults only while the mirror names the machine.json now there.
void take_mirror_counts(std::vector<StoreLine> &lines, const seqsim_faults &mirror,
                        const std::string &root) {
  char header[128];
  bool same_machine = seqsim_faults_legacy_header(root.c_str(), header, sizeof header) == 0 &&
                      mirror.header == std::string(header);
  for (int i = 0; i < mirror.count; i++) {
    StoreLine seen = line_of(mirror.fault[i]);
    if (is_machine_line(seen) && !same_machine) continue;
    StoreLine *l = line_with_id(lines, seen.id);
    if (!l || l->err != seen.err || l->nth != seen.nth || l->open != seen.open) continue;
    bool same = l->open ? l->target == seen.target
                        : request_matches(static_cast<uint32_t>(std::strtoul(seen.target.c_str(), nullptr, 16)),
                                          l->target);
    if (same && seen.calls > l->calls) l->calls = seen.calls;
  }
}

// The store file this process last read or wrote, known again by its
// identity without reading it: most requests leave it as it was.
struct StoreSeen {
  bool valid = false;
  std::string path, text;
  struct stat st {};
};
StoreSeen g_store_seen;

bool same_identity(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

void remember_store(const std::string &path, const std::string &text) {
  struct stat st;
  g_store_seen.valid = stat(path.c_str(), &st) == 0 && st.st_size == static_cast<off_t>(text.size());
  g_store_seen.path = path;
  g_store_seen.text = text;
  g_store_seen.st = st;
}

// Reads the file at path: 0 with existed false when there is none, -1 when
// it cannot be read.
int read_store(const std::string &path, std::string &text, bool &existed) {
  struct stat st;
  text.clear();
  existed = false;
  if (stat(path.c_str(), &st) < 0) return errno == ENOENT ? 0 : -1;
  existed = true;
  if (g_store_seen.valid && g_store_seen.path == path && same_identity(g_store_seen.st, st)) {
    text = g_store_seen.text;
    return 0;
  }
  if (read_text_file(path.c_str(), text) < 0) return -1;
  g_store_seen = {st.st_size == static_cast<off_t>(text.size()), path, text, st};
  return 0;
}

// Whether text is what a save of these faults writes, so that taking them
// as they are leaves the file as a rewrite would.
bool is_written_form(const seqsim_faults &f, const std::string &text) {
  char *again = seqsim_faults_text(f.digest, f.fault, f.count);
  bool same = again && text == again;
  std::free(again);
  return same;
}

struct Call {
  uint32_t code;
  const std::string *path;
};

int call_matches(void *ctx, const seqsim_fault *f) {
  const Call *c = static_cast<const Call *>(ctx);
  if (c->path) return f->open && *c->path == f->target;
  return !f->open && request_matches(c->code, f->target);
}

int count_call(FaultStore &store, const Call &call) {
  int matched = 0;
  int err = seqsim_faults_count(&store.faults, call_matches, const_cast<Call *>(&call), &matched);
  if (matched) store.changed = true;
  return err;
}

}  // namespace

int fault_store_load(const std::string &root, const Machine &m, SimJson &state, FaultStore &store,
                     std::string &err) {
  std::string path = root + SEQSIM_FAULTS_FILE;
  seqsim_faults_free(&store.faults);
  store.changed = false;
  if (read_store(path, store.text, store.existed) < 0) {
    err = path + ": " + std::strerror(errno);
    return -1;
  }
  std::vector<StoreLine> lines;
  std::string digest;
  seqsim_faults read{};
  if (store.existed && seqsim_faults_parse(store.text.c_str(), &read) < 0) {
    // An older simulator's mirror was made from the other files: a damaged
    // one is made again from them.
    if (!read.legacy) {
      err = path + ": line " + std::to_string(read.bad_line) + " is damaged";
      seqsim_faults_free(&read);
      return -1;
    }
    seqsim_faults_free(&read);
  } else if (!read.legacy) {
    for (int i = 0; i < read.count; i++) lines.push_back(line_of(read.fault[i]));
    digest = read.digest;
  }
  std::vector<StoreLine> fresh = machine_lines(m);
  std::string now = machine_digest(fresh);
  // Most requests meet the store as the last save wrote it: nothing to take
  // in or move, so the faults as parsed are the store.
  if (store.existed && !read.legacy && now == digest && !state.contains("faults") &&
      !state.contains("machine_fault_calls") && is_written_form(read, store.text)) {
    store.faults = read;
    return 0;
  }
  if (now != digest) retake_machine(lines, fresh);
  std::string problem = take_state_keys(lines, state);
  if (!problem.empty()) {
    seqsim_faults_free(&read);
    err = root + "/state.json: " + problem;
    return -1;
  }
  if (read.legacy) take_mirror_counts(lines, read, root);
  seqsim_faults_free(&read);

  std::string text = store_text(now, lines);
  if (text.empty() || seqsim_faults_parse(text.c_str(), &store.faults) < 0) {
    err = path + ": " + std::strerror(errno);
    return -1;
  }
  store.changed = store.existed ? text != store.text : !lines.empty() || !now.empty();
  return 0;
}

std::string fault_store_fresh(const Machine &m) {
  std::vector<StoreLine> lines = machine_lines(m);
  return store_text(machine_digest(lines), lines);
}

int fault_for_request(FaultStore &store, uint32_t code) { return count_call(store, {code, nullptr}); }

int fault_for_open(FaultStore &store, const std::string &syspath) {
  return count_call(store, {0, &syspath});
}

int fault_add(FaultStore &store, const std::string &request, const std::string &open,
              const std::string &err, int nth) {
  std::vector<StoreLine> lines;
  for (int i = 0; i < store.faults.count; i++) lines.push_back(line_of(store.faults.fault[i]));
  StoreLine x{free_added_id(lines), err, nth, 0, request.empty(), request.empty() ? open : request};
  if (x.target.find('\n') != std::string::npos) {
    errno = EINVAL;
    return -1;
  }
  lines.push_back(x);
  std::string text = store_text(store.faults.digest, lines);
  seqsim_faults_free(&store.faults);
  if (text.empty() || seqsim_faults_parse(text.c_str(), &store.faults) < 0) return -1;
  store.changed = true;
  return 0;
}

int fault_store_save(const std::string &root, FaultStore &store) {
  if (!store.changed) return 0;
  char *text = seqsim_faults_text(store.faults.digest, store.faults.fault, store.faults.count);
  if (!text) return -1;
  std::string path = root + SEQSIM_FAULTS_FILE;
  int rc = seqsim_faults_save(root.c_str(), text);
  if (rc == 0) remember_store(path, text);
  else g_store_seen.valid = false;
  std::free(text);
  return rc;
}

void fault_store_restore(const std::string &root, const FaultStore &store) {
  if (!store.changed) return;
  std::string path = root + SEQSIM_FAULTS_FILE;
  g_store_seen.valid = false;
  if (store.existed) seqsim_faults_save(root.c_str(), store.text.c_str());
  else unlink(path.c_str());
}

}  // namespace kvl
