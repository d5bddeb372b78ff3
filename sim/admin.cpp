// kvlsim commands that create a machine or change its driver directly.
#include "admin.h"

#include "common/atomic_file.h"
#include "common/text.h"
#include "driver/driver.h"
#include "errnames.h"
#include "faults.h"
#include "machine.h"
#include "requests.h"
#include "seqsim.h"
#include "sim.h"
#include "simdir.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kvl {

namespace fs = std::filesystem;

namespace {

int fail(const std::string &what) {
  std::fprintf(stderr, "kvlsim: %s\n", what.c_str());
  return 1;
}

int fail_errno(const std::string &what) { return fail(what + ": " + std::strerror(errno)); }

// A whole decimal (or 0x-prefixed hexadecimal) number in [lo, hi].
bool parse_number(const std::string &s, long lo, long hi, int base, long &out) {
  if (s.empty()) return false;
  char *end = nullptr;
  errno = 0;
  long v = std::strtol(s.c_str(), &end, base);
  if (*end || errno || v < lo || v > hi) return false;
  out = v;
  return true;
}

// Runs fn on the locked state and fault store of a machine and saves them.
// fn returns "" or an error line.
template <typename Fn>
int edit_state(const std::string &dir, Fn fn) {
  Machine m;
  std::string err;
  if (machine_load(dir, m, err) < 0) return fail(err);
  SimLock lock(dir);
  if (!lock.held()) return fail(lock_problem(dir, errno));
  SimJson state;
  std::string text, failed;
  if (state_load(dir, state, text, err) < 0) return fail(err);
  const std::string synths = synths_text(state);
  FaultStore faults;
  try {
    if (fault_store_load(dir, m, state, faults, err) == 0) err = fn(m, state, faults);
  } catch (const SimJson::exception &e) {
    err = dir + "/state.json: " + e.what();
  }
  if (!err.empty()) return fail(err);
  if (state_save(dir, state, text, &synths, failed) < 0) return fail_errno(failed);
  if (fault_store_save(dir, faults) < 0) return fail_errno(dir + SEQSIM_FAULTS_FILE);
  return 0;
}

// Makes dir ready for a new machine: created when missing; a directory that
// holds an earlier machine loses it; any other non-empty one is refused.
int prepare_dir(const std::string &dir) {
  std::error_code ec;
  if (!fs::exists(dir, ec)) {
    fs::create_directories(dir, ec);
    if (ec) return fail(dir + ": " + ec.message());
    return 0;
  }
  if (!fs::is_directory(dir, ec)) return fail(dir + ": not a directory");
  if (fs::is_empty(dir, ec)) return 0;
  if (!fs::exists(dir + "/machine.json", ec))
    return fail(dir + ": not empty and not a simulated machine");
  for (const char *name : {"dev", "etc", "machine.json", "state.json", "journal.jsonl",
                           "sequencer.synths", "sequencer.capture", "faults.txt"}) {
    fs::remove_all(dir + "/" + name, ec);
    if (ec) return fail(dir + "/" + name + ": " + ec.message());
  }
  return 0;
}

}  // namespace

int admin_init(const std::string &dir, const char *machine_file, const std::string &kvllibdir) {
  std::string text = demo_machine_json();
  if (machine_file && read_text_file(machine_file, text) < 0) return fail_errno(machine_file);
  Machine m;
  std::string err;
  if (machine_parse(text, m, err) < 0)
    return fail(std::string(machine_file ? machine_file : "built-in demo machine") + ": " + err);
  if (prepare_dir(dir)) return 1;
  std::error_code ec;
  fs::create_directories(dir + "/dev", ec);
  fs::create_directories(dir + "/etc", ec);
  if (ec) return fail(dir + ": " + ec.message());
  if (replace_file((dir + "/machine.json").c_str(), text, false) < 0) return fail_errno(dir + "/machine.json");
  if (replace_file((dir + "/etc/kvl.conf").c_str(), "KVLLIBDIR=" + kvllibdir + "\n", false) < 0)
    return fail_errno(dir + "/etc/kvl.conf");
  if (node_create((dir + "/dev/mixer0").c_str(), m.major, 0, 0666) < 0)
    return fail_errno(dir + "/dev/mixer0");
  if (replace_file((dir + "/journal.jsonl").c_str(), "", false) < 0) return fail_errno(dir + "/journal.jsonl");
  SimJson state = state_fresh();
  for (const auto &s : m.synths) state["synths"].push_back(s);
  std::string failed;
  if (state_save(dir, state, "", nullptr, failed) < 0) return fail_errno(failed);
  if (replace_file((dir + SEQSIM_FAULTS_FILE).c_str(), fault_store_fresh(m), false) < 0)
    return fail_errno(dir + SEQSIM_FAULTS_FILE);
  return 0;
}

int admin_load(const std::string &dir) {
  return edit_state(dir, [](const Machine &m, SimJson &state, FaultStore &) {
    if (state["loaded"].get<bool>()) return std::string();
    state_forget(state);
    state["loaded"] = true;
    for (const auto &s : m.synths) state["synths"].push_back(s);
    return std::string();
  });
}

int admin_unload(const std::string &dir) {
  return edit_state(dir, [](const Machine &, SimJson &state, FaultStore &) {
    state_forget(state);
    return std::string();
  });
}

int admin_fault(const std::string &dir, const std::string &request, const std::string &open,
                const std::string &err, const std::string &nth) {
  long n = 0;
  if (!nth.empty() && !parse_number(nth, 0, 0x7fffffff, 10, n)) return fail("bad call number '" + nth + "'");
  if (!errno_value(err.c_str())) return fail("unknown errno name '" + err + "'");
  if (!request.empty() && !request_known(request)) return fail("unknown request '" + request + "'");
  if (!open.empty() && open[0] != '/') return fail("'" + open + "' is not an absolute path");
  if (open.find('\n') != std::string::npos) return fail("the path holds a line break");
  return edit_state(dir, [&](const Machine &, SimJson &, FaultStore &faults) {
    if (fault_add(faults, request, open, err, static_cast<int>(n)) < 0)
      return dir + SEQSIM_FAULTS_FILE + ": " + std::strerror(errno);
    return std::string();
  });
}

int admin_mknod(const std::string &dir, const std::string &path, const std::string &major,
                const std::string &minor, const std::string &mode) {
  long ma = 0, mi = 0, mo = 0;
  if (path.rfind("/dev/", 0) != 0 || path.size() <= 5) return fail("'" + path + "' is not under /dev/");
  if (!parse_number(major, 0, 255, 10, ma)) return fail("bad major number '" + major + "'");
  if (!parse_number(minor, 0, 255, 10, mi)) return fail("bad minor number '" + minor + "'");
  if (!parse_number(mode, 0, 07777, 8, mo)) return fail("bad mode '" + mode + "'");
  std::string file = dir + path;
  std::error_code ec;
  fs::create_directories(fs::path(file).parent_path(), ec);
  if (node_create(file.c_str(), static_cast<int>(ma), static_cast<int>(mi), static_cast<mode_t>(mo)) < 0)
    return fail_errno(file);
  return 0;
}

int admin_addcard(const std::string &dir, const std::string &driver, const std::string &port,
                  const std::string &irq, const std::string &dma1, const std::string &dma2) {
  Machine m;
  std::string err;
  if (machine_load(dir, m, err) < 0) return fail(err);
  int d = machine_driver_by_name(m, driver);
  if (d < 0) return fail("no driver '" + driver + "' in " + dir + "/machine.json");
  CardConfigRecord r{};
  r.key = m.drivers[d].key;
  set_field_text(r.name, sizeof r.name, driver);
  long v = 0;
  r.port = 0;
  r.irq = 0;
  r.dma1 = r.dma2 = -1;
  if (!port.empty()) {
    if (!parse_number(port, 0, 0xffff, 16, v)) return fail("bad port '" + port + "'");
    r.port = static_cast<int32_t>(v);
  }
  if (!irq.empty()) {
    if (!parse_number(irq, 0, 31, 10, v)) return fail("bad IRQ '" + irq + "'");
    r.irq = static_cast<int32_t>(v);
  }
  if (!dma1.empty()) {
    if (!parse_number(dma1, -1, 7, 10, v)) return fail("bad DMA channel '" + dma1 + "'");
    r.dma1 = static_cast<int32_t>(v);
  }
  if (!dma2.empty()) {
    if (!parse_number(dma2, -1, 7, 10, v)) return fail("bad DMA channel '" + dma2 + "'");
    r.dma2 = static_cast<int32_t>(v);
  }
  if (sim_request_direct(dir, CTL_ADD_CARD, &r) < 0) return fail_errno("Add card");
  return 0;
}

int admin_activate(const std::string &dir) {
  int32_t zero = 0;
  if (sim_request_direct(dir, CTL_ACTIVATE, &zero) < 0) return fail_errno("activate");
  return 0;
}

}  // namespace kvl
