// startup_bench PREFIX [ROUNDS]: the whole `audstart`, as a user runs it, on
// two machines, against two anchors: `true` plus the shell commands start-up
// runs (the mixer.map "!mixset" line, through sh as start-up runs it), and the
// floor: the same plus the file work the job cannot avoid, creating in a
// fresh folder as many files as start-up creates device nodes, each with its
// mode (one create and one mode change each).
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
// Each scenario: one untimed start-up that counts the device nodes it makes,
// one warm-up round, then ROUNDS (at least 11) rounds of both anchors and the
// product in turn; a fresh machine (kvlsim init, not timed) before every
// product round. Every product round is checked: exit status 0, AUDSTART_OK,
// every card initialised, as many device nodes as counted, and for "ten"
// ceil(199999 / 2048) firmware chunks in the journal. The figures are for the
// file system of the working folder, whose type is printed.
#include "bench_stats.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
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
  int nodes = -1;     // device nodes a start-up makes (counted before the rounds)
  int machine_nodes = -1;  // device nodes of the machine after a start-up
};

// The simulated device nodes under the machine's dev/: files whose text
// starts with the simulator's node mark.
int count_nodes(const fs::path &sim) {
  int n = 0;
  std::error_code ec;
  for (const auto &e : fs::recursive_directory_iterator(sim / "dev", ec)) {
    if (!e.is_regular_file() || e.is_symlink()) continue;
    char mark[10] = {};
    std::ifstream(e.path(), std::ios::binary).read(mark, sizeof mark);
    n += std::string(mark, sizeof mark) == "KVLSIM-CHR";
  }
  return n;
}

// The floor's file work: n files made in the fresh folder dir, each created
// and given its mode. False when a call fails.
bool make_files(const fs::path &dir, int n) {
  if (mkdir(dir.c_str(), 0755) != 0) return false;
  for (int i = 0; i < n; i++) {
    std::string path = (dir / ("n" + std::to_string(i))).string();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = fchmod(fd, 0666) == 0;
    if (close(fd) != 0 || !ok) return false;
  }
  return true;
}

// The working folder's file system, as statfs names it.
std::string fs_type(const fs::path &dir) {
  struct statfs st;
  if (statfs(dir.c_str(), &st) != 0) return "unknown";
  switch (static_cast<unsigned long>(st.f_type)) {
    case 0xEF53: return "ext2/3/4";
    case 0x01021994: return "tmpfs";
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0x794c7630: return "overlayfs";
    default: {
      char hex[32];
      std::snprintf(hex, sizeof hex, "type 0x%lx", static_cast<unsigned long>(st.f_type));
      return hex;
    }
  }
}

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
  int nodes = count_nodes(s.dir / "sim");
  if (rc == 0 && status == "AUDSTART_OK\n" && initialised == s.cards && chunks == s.chunks &&
      (s.machine_nodes < 0 || nodes == s.machine_nodes))
    return true;
  std::fprintf(stderr,
               "startup_bench %s: exit %d, status '%s', %d of %d cards initialised, %d of %d "
               "firmware chunks, %d device nodes of %d\n",
               s.name, rc, status.c_str(), initialised, s.cards, chunks, s.chunks, nodes,
               s.machine_nodes);
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
              "and against that + the device-node files (the floor), %d rounds after a "
              "warm-up, wall-clock ms, on %s\n",
              rounds, fs_type(work).c_str());
  bool ok = true;
  for (Scenario &s : scenarios) {
    const std::string kvl = (s.dir / "kvl").string(), simroot = (s.dir / "sim").string();
    const std::vector<std::string> mixset = {
        "/bin/sh", "-c", kvl + "/bin/mixset -q vol=75 pcm=75 synth=75 > /dev/null"};
    // The nodes one start-up makes: those of its machine less those of a
    // fresh one.
    if (!fresh_machine(s, kvlsim)) {
      std::fprintf(stderr, "startup_bench: kvlsim init failed\n");
      return 1;
    }
    int before = count_nodes(s.dir / "sim");
    fs::remove(s.dir / "kvl/.status");
    int rc = spawn({kvl + "/bin/audstart"}, simroot);
    if (!round_ok(s, rc)) ok = false;
    s.machine_nodes = count_nodes(s.dir / "sim");
    s.nodes = s.machine_nodes - before;
    bench::Rounds plain, floor;
    for (int i = -1; i < rounds; i++) {
      auto t0 = bench::Clock::now();
      spawn({"/bin/true"}, "");
      spawn(mixset, "");
      double anchor = bench::ms_since(t0);
      fs::path files = s.dir / ("floor." + std::to_string(i + 1));
      t0 = bench::Clock::now();
      spawn({"/bin/true"}, "");
      spawn(mixset, "");
      bool made = make_files(files, s.nodes);
      double floor_ms = bench::ms_since(t0);
      fs::remove_all(files);
      if (!made) {
        std::fprintf(stderr, "startup_bench: the floor's files could not be made\n");
        return 1;
      }
      if (!fresh_machine(s, kvlsim)) {
        std::fprintf(stderr, "startup_bench: kvlsim init failed\n");
        return 1;
      }
      fs::remove(s.dir / "kvl/.status");
      t0 = bench::Clock::now();
      rc = spawn({kvl + "/bin/audstart"}, simroot);
      double product = bench::ms_since(t0);
      if (!round_ok(s, rc)) ok = false;
      if (i >= 0) {
        plain.add(anchor, product);
        floor.add(floor_ms, product);
      }
    }
    std::printf("%s: %d device nodes a start-up\n", s.name, s.nodes);
    std::string what = std::string("audstart, ") + s.name;
    plain.print((what + " / true + sh").c_str(), "ms");
    floor.print((what + " / floor").c_str(), "ms");
  }
  fs::remove_all(work);
  return ok ? 0 : 1;
}
