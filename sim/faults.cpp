#include "faults.h"

#include "common/atomic_file.h"
#include "common/text.h"
#include "driver/driver.h"
#include "errnames.h"
#include "requests.h"
#include "seqsim.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace kvl {

namespace {

// Counts one matching call in counter; true when the fault fires for it.
bool fires(int nth, SimJson &counter) {
  int calls = (counter.is_number_integer() ? counter.get<int>() : 0) + 1;
  counter = calls;
  return nth == 0 || calls == nth;
}

template <typename Match>
int first_firing(const Machine &m, SimJson &state, Match match) {
  int err = 0;
  for (size_t i = 0; i < m.faults.size(); i++) {
    const SimFault &f = m.faults[i];
    if (!match(f.request, f.open)) continue;
    if (fires(f.nth, state["machine_fault_calls"][std::to_string(i)]) && !err) err = f.err;
  }
  for (auto &f : state["faults"]) {
    if (!f.is_object()) continue;
    if (!match(f.value("request", ""), f.value("open", ""))) continue;
    int e = errno_value(f.value("errno", "").c_str());
    if (fires(f.value("nth", 0), f["calls"]) && !err) err = e;
  }
  return err;
}

}  // namespace

int fault_for_request(const Machine &m, SimJson &state, uint32_t code) {
  return first_firing(m, state, [code](const std::string &request, const std::string &) {
    return !request.empty() && request_matches(code, request);
  });
}

int fault_for_open(const Machine &m, SimJson &state, const std::string &syspath) {
  return first_firing(m, state, [&syspath](const std::string &, const std::string &open) {
    return !open.empty() && open == syspath;
  });
}

namespace {

// A fault as the mirror shows it; f.open is set from open when written.
struct MirrorFault {
  seqsim_fault f;
  std::string open;
};

int counted(const SimJson &counter) { return counter.is_number_integer() ? counter.get<int>() : 0; }

// The faults of the machine and the state that the C seam can meet, in the
// order they are tried.
std::vector<MirrorFault> mirror_faults(const Machine &m, const SimJson &state) {
  std::vector<MirrorFault> out;
  auto add = [&](const std::string &id, const std::string &request, const std::string &open,
                 std::string err, int nth, int calls) {
    MirrorFault x{};
    if (!request.empty()) {
      for (uint32_t code : {SNDCTL_SEQ_NRSYNTHS, SNDCTL_SYNTH_INFO})
        if (request_matches(code, request)) x.f.code = code;
      if (!x.f.code) return;
    } else if (open.empty() || open.find('\n') != std::string::npos) {
      return;
    }
    if (!errno_value(err.c_str())) err = "none";  // fires never, on either side
    std::snprintf(x.f.id, sizeof x.f.id, "%s", id.c_str());
    std::snprintf(x.f.err, sizeof x.f.err, "%s", err.c_str());
    x.f.nth = nth;
    x.f.calls = calls;
    x.open = request.empty() ? open : "";
    out.push_back(x);
  };
  const SimJson &calls = state["machine_fault_calls"];
  for (size_t i = 0; i < m.faults.size(); i++) {
    const SimFault &f = m.faults[i];
    std::string key = std::to_string(i);
    add("m" + key, f.request, f.open, errno_name(f.err), f.nth,
        calls.contains(key) ? counted(calls[key]) : 0);
  }
  const SimJson &faults = state["faults"];
  for (size_t i = 0; i < faults.size(); i++) {
    const SimJson &f = faults[i];
    if (!f.is_object()) continue;
    std::string key = std::to_string(i);
    add("s" + key, f.value("request", ""), f.value("open", ""), f.value("errno", ""),
        f.value("nth", 0), f.contains("calls") ? counted(f["calls"]) : 0);
  }
  return out;
}

std::string mirror_line(MirrorFault &x) {
  x.f.open = x.open.empty() ? nullptr : x.open.c_str();
  std::vector<char> buf(x.open.size() + 128);
  if (seqsim_fault_line(&x.f, buf.data(), buf.size()) < 0) return "";
  return buf.data();
}

}  // namespace

namespace {

// The mirror file this process last read or wrote, to know it again by its
// identity without reading it: most machines have no fault the C side can
// meet, and their mirror is the header alone request after request.
struct MirrorSeen {
  bool valid = false;
  std::string path, text;
  dev_t dev = 0;
  ino_t ino = 0;
};
MirrorSeen g_seen;

void remember_mirror(const std::string &path, const std::string &text) {
  struct stat st;
  g_seen.valid = stat(path.c_str(), &st) == 0 && st.st_size == static_cast<off_t>(text.size());
  g_seen.path = path;
  g_seen.text = text;
  g_seen.dev = st.st_dev;
  g_seen.ino = st.st_ino;
}

// True when the file at path still is the one seen with this text.
bool mirror_unchanged(const std::string &path, const std::string &text) {
  struct stat st;
  return g_seen.valid && g_seen.path == path && g_seen.text == text &&
         stat(path.c_str(), &st) == 0 && st.st_dev == g_seen.dev && st.st_ino == g_seen.ino &&
         st.st_size == static_cast<off_t>(text.size());
}

}  // namespace

bool fault_mirror_merge(const std::string &root, const Machine &m, SimJson &state,
                        std::string &text) {
  text.clear();
  // Without a fault the C side can meet there is no count to take: the C
  // side changes the mirror only when one of its lines matches.
  if (mirror_faults(m, state).empty()) return false;
  if (read_text_file((root + SEQSIM_FAULTS_FILE).c_str(), text) < 0) {
    text.clear();
    return true;
  }
  char header[128];
  bool same_machine = seqsim_faults_header(root.c_str(), header, sizeof header) == 0 &&
                      text.compare(0, std::strlen(header), header) == 0;
  std::vector<MirrorFault> now = mirror_faults(m, state);
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    seqsim_fault seen;
    if (seqsim_fault_parse(line.c_str(), &seen) < 0) continue;
    if (seen.id[0] == 'm' && !same_machine) continue;
    for (MirrorFault &x : now) {
      if (std::strcmp(x.f.id, seen.id) != 0) continue;
      if (std::strcmp(x.f.err, seen.err) || x.f.nth != seen.nth || x.f.code != seen.code ||
          x.open != (seen.open ? seen.open : "") || seen.calls <= x.f.calls)
        break;
      std::string index = seen.id + 1;
      if (seen.id[0] == 'm') state["machine_fault_calls"][index] = seen.calls;
      else state["faults"][std::stoul(index)]["calls"] = seen.calls;
      break;
    }
  }
  return true;
}

int fault_mirror_save(const std::string &root, const Machine &m, const SimJson &state,
                      const std::string *old) {
  char header[128];
  if (seqsim_faults_header(root.c_str(), header, sizeof header) < 0) return -1;
  std::string text = header;
  for (MirrorFault &x : mirror_faults(m, state)) text += mirror_line(x);
  std::string path = root + SEQSIM_FAULTS_FILE, read;
  if (old ? *old == text : mirror_unchanged(path, text) ||
                               (read_text_file(path.c_str(), read) == 0 && read == text)) {
    if (!old) remember_mirror(path, text);
    return 0;
  }
  if (replace_file(path.c_str(), text, false) < 0) return -1;
  remember_mirror(path, text);
  return 0;
}

}  // namespace kvl
