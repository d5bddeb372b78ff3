// startup_bench [ROUNDS]: one whole start-up of audcore on a fresh simulated
// machine (10 cards, one 199999-byte firmware image, the full set of device
// files with the extra dsp files, no queued commands) against a bare process
// start (/bin/true), both with the same spawning code. Prints the median and
// mean of each and their ratio.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCards = 10;
constexpr int kFirmwareBytes = 199999;

void write_text(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Runs argv with stdin from in_path, output discarded; returns the exit status.
int spawn(const std::vector<std::string> &argv, const std::string &in_path,
          const std::string &simroot) {
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(in_path.c_str(), O_RDONLY);
    int null = open("/dev/null", O_WRONLY);
    if (in < 0 || null < 0) _exit(127);
    dup2(in, 0);
    dup2(null, 1);
    dup2(null, 2);
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

// The machine: drivers C0..C9, one ISA card each; C0 needs the firmware.
std::string machine_json() {
  std::string drivers, isa;
  for (int i = 0; i < kCards; i++) {
    std::string n = "C" + std::to_string(i);
    drivers += (i ? ", " : "") + std::string("{\"name\": \"") + n + "\", \"key\": " +
               std::to_string(10 + i) + "}";
    isa += (i ? ", " : "") + std::string("{\"card\": \"") + n + "\", \"driver\": \"" + n +
           "\", \"port\": " + std::to_string(0x200 + 0x10 * i) + ", \"irq\": " +
           std::to_string(3 + i) + ", \"audio\": [\"" + n + " dsp\"], \"mixers\": [\"" + n +
           " mixer\"]}";
  }
  return "{\"drivers\": [" + drivers + "], \"isa\": [" + isa + "], \"firmware\": {\"C0\": " +
         std::to_string(kFirmwareBytes) + "}}";
}

std::string config_text(const std::string &firmware) {
  std::string t = "# Use audset to edit this file.\n/DSPX\n/SECUREAUDIO OFF\n";
  t += "C0 $LOADBIN " + firmware + "\n";
  for (int i = 0; i < kCards; i++) {
    char line[64];
    std::snprintf(line, sizeof line, "-C%d #Benchmark card %d\nC%d ON P%x I%d\n", i, i, i,
                  0x200 + 0x10 * i, 3 + i);
    t += line;
  }
  return t;
}

struct Stats {
  double median, mean;
};

Stats stats(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  double sum = 0;
  for (double x : v) sum += x;
  return {v[v.size() / 2], sum / static_cast<double>(v.size())};
}

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
  if (rounds < 1) rounds = 1;
  namespace fs = std::filesystem;
  fs::path work = fs::temp_directory_path() / ("kvl-startup-bench." + std::to_string(getpid()));
  fs::create_directories(work / "kvl");
  const std::string machine = (work / "machine.json").string();
  const std::string firmware = (work / "fw.bin").string();
  const std::string config = (work / "devices.cfg").string();
  const std::string simroot = (work / "sim").string();
  write_text(machine, machine_json());
  write_text(firmware, std::string(kFirmwareBytes, '\x5a'));
  write_text(config, config_text(firmware));

  std::vector<double> startup, bare;
  for (int r = 0; r < rounds; r++) {
    if (spawn({KVL_KVLSIM, "init", simroot, machine}, "/dev/null", "") != 0) {
      std::fprintf(stderr, "startup_bench: kvlsim init failed\n");
      return 1;
    }
    auto t0 = Clock::now();
    int rc = spawn({KVL_AUDCORE, "", (work / "kvl").string()}, config, simroot);
    startup.push_back(ms_since(t0));
    if (rc != 0 || std::ifstream(work / "kvl/.status").get() == EOF) {
      std::fprintf(stderr, "startup_bench: audcore ended with %d\n", rc);
      return 1;
    }
    t0 = Clock::now();
    spawn({"/bin/true"}, "/dev/null", "");
    bare.push_back(ms_since(t0));
  }
  std::string status;
  std::getline(std::ifstream(work / "kvl/.status"), status);
  fs::remove_all(work);

  Stats s = stats(startup), b = stats(bare);
  std::printf("start-up (%d cards, %d-byte firmware, all device files): median %.2f ms, "
              "mean %.2f ms, status %s\n",
              kCards, kFirmwareBytes, s.median, s.mean, status.c_str());
  std::printf("bare process start (/bin/true):                         median %.2f ms, "
              "mean %.2f ms\n",
              b.median, b.mean);
  std::printf("ratio (median): %.1f\n", s.median / b.median);
  return 0;
}
