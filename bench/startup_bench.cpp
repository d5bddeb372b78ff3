// startup_bench PREFIX [ROUNDS]: the whole `audstart`, as a user runs it, on
// two machines, against an anchor of `true` plus the shell commands start-up
// runs (the mixer.map "!mixset" line, through sh as start-up runs it).
//
// PREFIX is an installation (cmake --install BUILD --prefix PREFIX); the
// bench copies it once per scenario into a folder beside the machine, so the
// timings include everything audstart does on the machine's own file system.
//
//   demo: the built-in demo machine with the shipped etc/ files.
//   ten:  10 ISA cards, one of them needing a 199,999-byte firmware image,
//         etc/options.cfg, mixer levels for every card and the routing of
//         etc/dspdevs.map saved.
//
// Each scenario: one warm-up round of each, then ROUNDS (at least 11) rounds
// of anchor and product in turn; a fresh machine (kvlsim init, not timed)
// before every product round. Every product round is checked: exit status 0,
// AUDSTART_OK, every card initialised, and for "ten" ceil(199999 / 2048)
// firmware chunks in the journal.
#include "bench_stats.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr int kCards = 10;
constexpr int kFirmwareBytes = 199999;
constexpr int kChunk = 2048;

void write_text(const fs::path &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string read_text(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs argv (stdin and stdout /dev/null, stderr too) with KVL_SIMROOT set
// when simroot is given; returns the exit status.
int spawn(const std::vector<std::string> &argv, const std::string &simroot) {
  pid_t pid = fork();
  if (pid == 0) {
    int null_in = open("/dev/null", O_RDONLY), null_out = open("/dev/null", O_WRONLY);
    if (null_in < 0 || null_out < 0) _exit(127);
    dup2(null_in, 0);
    dup2(null_out, 1);
    dup2(null_out, 2);
    if (!simroot.empty()) setenv("KVL_SIMROOT", simroot.c_str(), 1);
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// The 10-card machine: drivers C0..C9, one ISA card each with an audio
// device and a mixer; C0 needs the firmware.
std::string ten_machine() {
  json drivers = json::array(), isa = json::array();
  for (int i = 0; i < kCards; i++) {
    std::string n = "C" + std::to_string(i);
    drivers.push_back({{"name", n}, {"key", 10 + i}});
    isa.push_back({{"card", n}, {"driver", n}, {"port", 0x200 + 0x10 * i}, {"irq", 3 + i},
                   {"audio", {n + " dsp"}}, {"mixers", {n + " mixer"}}});
  }
  return json{{"drivers", drivers}, {"isa", isa}, {"firmware", {{"C0", kFirmwareBytes}}}}.dump(1);
}

std::string ten_devices_cfg(const std::string &firmware) {
  std::string t = "# Use audset to edit this file.\n/SECUREAUDIO OFF\n";
  t += "C0 $LOADBIN " + firmware + "\n";
  for (int i = 0; i < kCards; i++) {
    char line[80];
    std::snprintf(line, sizeof line, "-C%d #Benchmark card %d\nC%d ON P%x I%d\n", i, i, i,
                  0x200 + 0x10 * i, 3 + i);
    t += line;
  }
  return t;
}

std::string ten_mixer_map() {
  std::string t;
  for (int i = 0; i < kCards; i++) {
    t += "MIX" + std::to_string(i);
    for (int l = 0; l < 32; l++) t += l % 3 ? " 3232" : " 4b4b";
    t += "\n";
  }
  return t + "!mixset vol=75 pcm=75 synth=75\n";
}

struct Scenario {
  const char *name;
  fs::path dir;       // work/NAME: kvl/ (the installation) and sim/ (the machine)
  std::string machine_file;  // empty: the built-in demo machine
  int cards;
  int chunks;         // firmware chunks expected in the journal
};

// A fresh machine for the scenario's installation.
bool fresh_machine(const Scenario &s, const std::string &kvlsim) {
  std::vector<std::string> argv = {kvlsim, "init", (s.dir / "sim").string()};
  if (!s.machine_file.empty()) argv.push_back(s.machine_file);
  argv.push_back("--kvllibdir");
  argv.push_back((s.dir / "kvl").string());
  return spawn(argv, "") == 0;
}

// Checks one product round; prints what is wrong.
bool round_ok(const Scenario &s, int rc) {
  std::string status = read_text(s.dir / "kvl/.status");
  json state = json::parse(read_text(s.dir / "sim/state.json"), nullptr, false);
  int initialised = 0, chunks = 0;
  if (!state.is_discarded())
    for (const auto &c : state["cards"]) {
      const json &i = c["initialized"];
      initialised += (i.is_boolean() && i.get<bool>()) || (i.is_number() && i != 0) ? 1 : 0;
    }
  std::istringstream journal(read_text(s.dir / "sim/journal.jsonl"));
  for (std::string line; std::getline(journal, line);) {
    json j = json::parse(line, nullptr, false);
    if (!j.is_discarded() && j.value("request", "") == "Config" && j.contains("total") &&
        j["total"] == kFirmwareBytes && j["result"] == 0)
      chunks++;
  }
  if (rc == 0 && status == "AUDSTART_OK\n" && initialised == s.cards && chunks == s.chunks)
    return true;
  std::fprintf(stderr,
               "startup_bench %s: exit %d, status '%s', %d of %d cards initialised, %d of %d "
               "firmware chunks\n",
               s.name, rc, status.c_str(), initialised, s.cards, chunks, s.chunks);
  return false;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: startup_bench PREFIX [ROUNDS]\n");
    return 2;
  }
  fs::path prefix = fs::absolute(argv[1]);
  int rounds = argc > 2 ? std::atoi(argv[2]) : 11;
  if (rounds < 11) rounds = 11;
  const std::string kvlsim = (prefix / "bin/kvlsim").string();
  if (!fs::exists(prefix / "bin/audstart") || !fs::exists(kvlsim)) {
    std::fprintf(stderr, "startup_bench: %s is not an installation\n", prefix.c_str());
    return 2;
  }
  // Beside the build, on the machine's own file system.
  fs::path work = fs::absolute("startup_bench.work");
  fs::remove_all(work);

  std::vector<Scenario> scenarios = {
      {"demo", work / "demo", "", 5, 0},
      {"ten", work / "ten", (work / "ten/machine.json").string(), kCards,
       (kFirmwareBytes + kChunk - 1) / kChunk},
  };
  for (Scenario &s : scenarios) {
    fs::create_directories(s.dir);
    fs::copy(prefix, s.dir / "kvl", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }
  Scenario &ten = scenarios[1];
  write_text(ten.machine_file, ten_machine());
  write_text(ten.dir / "fw.bin", std::string(kFirmwareBytes, '\x5a'));
  write_text(ten.dir / "kvl/etc/devices.cfg", ten_devices_cfg((ten.dir / "fw.bin").string()));
  write_text(ten.dir / "kvl/etc/options.cfg", "trace_init=1\npnp_reset=1\nbe_quiet=0\n");
  write_text(ten.dir / "kvl/etc/mixer.map", ten_mixer_map());
  write_text(ten.dir / "kvl/etc/dspdevs.map", "9 8 7 6 5 4 3 2 1 0 \n0 1 2 3 \n5 \n");

  std::printf("startup_bench: whole audstart against `true` + the start-up's shell command, "
              "%d rounds after a warm-up, wall-clock ms\n",
              rounds);
  bool ok = true;
  for (const Scenario &s : scenarios) {
    const std::string kvl = (s.dir / "kvl").string(), simroot = (s.dir / "sim").string();
    const std::vector<std::string> mixset = {
        "/bin/sh", "-c", kvl + "/bin/mixset -q vol=75 pcm=75 synth=75 > /dev/null"};
    bench::Rounds r;
    for (int i = -1; i < rounds; i++) {
      auto t0 = bench::Clock::now();
      spawn({"/bin/true"}, "");
      spawn(mixset, "");
      double anchor = bench::ms_since(t0);
      if (!fresh_machine(s, kvlsim)) {
        std::fprintf(stderr, "startup_bench: kvlsim init failed\n");
        return 1;
      }
      fs::remove(s.dir / "kvl/.status");
      t0 = bench::Clock::now();
      int rc = spawn({kvl + "/bin/audstart"}, simroot);
      double product = bench::ms_since(t0);
      if (!round_ok(s, rc)) ok = false;
      if (i >= 0) r.add(anchor, product);
    }
    std::string what = std::string("audstart, ") + s.name;
    r.print(what.c_str(), "ms");
  }
  fs::remove_all(work);
  return ok ? 0 : 1;
}
