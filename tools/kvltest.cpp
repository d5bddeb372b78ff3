// kvltest [-q] [-C] [-l FILE]: the audio self test of a running driver. One
// line per check, then "All tests OK" or "N tests FAILED" as the last line;
// no earlier line holds the letters "OK" (texts from the driver print them as
// "Ok"), so a caller that judges the last line cannot take a run cut short
// for a pass. -q plays a short tone and records nothing; -C never asks
// whether a tone was heard; -l also writes every line to FILE, a log made
// afresh that is never written through a symbolic link. Exit status 0
// passed, 1 failed, 2 bad usage.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/common.h"
#include "common/program_info.h"
#include "common/text.h"
#include "driver/driver.h"
#include "sys/sys.h"

namespace {

constexpr int RATE = 8000;  // the driver's default: 8000 unsigned 8-bit mono samples a second

struct Run {
  bool quick = false;
  bool ask = true;
  int failed = 0;
};

std::FILE *log_file = nullptr;  // -l FILE

// Prints on standard output and, with -l, into the log.
void say(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void say(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::vprintf(fmt, ap);
  va_end(ap);
  std::fflush(stdout);
  if (!log_file) return;
  va_start(ap, fmt);
  std::vfprintf(log_file, fmt, ap);
  va_end(ap);
  std::fflush(log_file);
}

// Opens the log of -l. A log that cannot be made is said; the test runs.
void open_log(const char *path) {
  std::string folder = path;
  size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  kvl::warn_if_log_folder_open(folder.c_str());
  int fd = kvl::create_log_file(path);
  if (fd >= 0) log_file = fdopen(fd, "w");
  if (!log_file) kvl::print_error(path);
}

// Driver texts may hold "OK"; only the last line may.
std::string safe(std::string text) {
  for (size_t at = text.find("OK"); at != std::string::npos; at = text.find("OK", at)) text[at + 1] = 'k';
  return text;
}

void result(Run &run, const std::string &what, bool passed, const std::string &why = "") {
  if (!passed) run.failed++;
  say("%s: %s\n", safe(what).c_str(),
      passed ? "passed" : ("FAILED" + (why.empty() ? "" : " (" + safe(why) + ")")).c_str());
}

std::string error_text() { return std::strerror(errno); }

// Minor number of /dev/dspN: classes 3 (0..15) and 10, 11, 12 (16..63).
int dsp_minor(int n) { return n < 16 ? 3 + 16 * n : (n % 16) * 16 + 10 + (n - 16) / 16; }

std::vector<unsigned char> tone(int seconds) {
  std::vector<unsigned char> samples(static_cast<size_t>(RATE) * seconds);
  for (size_t i = 0; i < samples.size(); i++)
    samples[i] = static_cast<unsigned char>(128 + 100 * std::sin(2 * M_PI * 440 * i / RATE));
  return samples;
}

bool write_all(int fd, const std::vector<unsigned char> &data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = kvl::sys_write(fd, data.data() + done, data.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool heard(const std::string &path) {
  say("Did you hear the tone on %s? (y/n) ", path.c_str());
  char answer[64];
  if (!std::fgets(answer, sizeof answer, stdin)) return false;
  return answer[0] != 'n' && answer[0] != 'N';
}

void test_device(Run &run, int mixer, int dev, int major) {
  std::string path = "/dev/dsp" + std::to_string(dev);
  kvl::AudioInfo info = {};
  info.dev = dev;
  if (kvl::sys_ioctl(mixer, kvl::SNDCTL_AUDIOINFO, &info) < 0) {
    result(run, path + ": SNDCTL_AUDIOINFO", false, error_text());
  } else {
    result(run, path + ": SNDCTL_AUDIOINFO " + std::string(kvl::field_text(info.name)), true);
  }
  struct stat st;
  char node[64];
  std::snprintf(node, sizeof node, "%s: character device %d %d", path.c_str(), major, dsp_minor(dev));
  if (kvl::sys_stat(path.c_str(), &st) < 0) {
    result(run, node, false, error_text());
    return;
  }
  bool right = S_ISCHR(st.st_mode) && static_cast<int>(st.st_rdev >> 8) == major &&
               static_cast<int>(st.st_rdev & 0xff) == dsp_minor(dev);
  result(run, node, right, right ? "" : "wrong type or numbers");
  int fd = kvl::sys_open(path.c_str(), O_WRONLY);
  if (fd < 0) {
    result(run, path + ": open for writing", false, error_text());
    return;
  }
  int seconds = run.quick ? 1 : 3;
  bool played = write_all(fd, tone(seconds));
  std::string err = played ? "" : error_text();
  kvl::sys_close(fd);
  result(run, path + ": plays a tone of " + std::to_string(seconds) + " s", played, err);
  if (played && run.ask) result(run, path + ": tone heard", heard(path));
  if (run.quick) return;
  fd = kvl::sys_open(path.c_str(), O_RDONLY);
  std::vector<unsigned char> block(4096);
  ssize_t got = fd < 0 ? -1 : kvl::sys_read(fd, block.data(), block.size());
  err = got < 0 ? error_text() : "short read";
  if (fd >= 0) kvl::sys_close(fd);
  result(run, path + ": records a block of 4096 bytes", got == 4096, got == 4096 ? "" : err);
}

}  // namespace

constexpr const char USAGE[] =
    "Usage: kvltest [-q] [-C] [-l FILE]\n"
    "       kvltest --help | --version\n"
    "The audio self test of a running Kelvane sound driver: one line per check,\n"
    "then \"All tests OK\" or \"N tests FAILED\".\n"
    "  -q   a short tone on each device and no recording\n"
    "  -C   never ask whether a tone was heard\n"
    "  -l   also write every line to FILE, a log made afresh (never through a link)\n"
    "Exit status 0 passed, 1 failed, 2 bad usage.\n";

int main(int argc, char **argv) {
  if (kvl::open_standard_descriptors() < 0) return 1;
  if (kvl::sys_use_environment() < 0) {
    kvl::print_error("KVL_SIMROOT");
    return 1;
  }
  Run run;
  const char *log_path = nullptr;
  for (int i = 1; i < argc; i++) {
    if (kvl::print_program_info(argv[i], "kvltest", USAGE)) return 0;
    std::string a = argv[i];
    if (a == "-q") {
      run.quick = true;
    } else if (a == "-C") {
      run.ask = false;
    } else if (a == "-l" && i + 1 < argc && !log_path) {
      log_path = argv[++i];
    } else {
      std::fprintf(stderr, "Usage: kvltest [-q] [-C] [-l FILE]\n");
      return 2;
    }
  }
  if (log_path) open_log(log_path);
  int fd = kvl::sys_open("/dev/mixer0", O_RDWR);
  kvl::SysInfo info = {};
  struct stat st = {};
  if (fd < 0 || kvl::sys_ioctl(fd, kvl::KVL_SYSINFO, &info) < 0 || kvl::sys_fstat(fd, &st) < 0) {
    result(run, "KVL_SYSINFO", false, error_text());
  } else {
    std::string driver = std::string(kvl::field_text(info.product)) + " " +
                         std::string(kvl::field_text(info.version)) + ", " +
                         std::to_string(info.numaudios) + " audio devices";
    result(run, "KVL_SYSINFO " + driver, info.numaudios > 0, info.numaudios > 0 ? "" : "no audio device");
    int major = static_cast<int>(st.st_rdev >> 8);
    for (int dev = 0; dev < info.numaudios && dev < 64; dev++) test_device(run, fd, dev, major);
  }
  if (run.failed)
    say("%d tests FAILED\n", run.failed);
  else
    say("All tests OK\n");
  return run.failed ? 1 : 0;
}
