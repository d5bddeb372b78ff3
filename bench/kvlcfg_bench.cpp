// kvlcfg_bench [ROUNDS]: `kvlcfg check` of a configuration of 10 cards on a
// 2000-card database against hwdb_load alone on the same database, both in
// the same round. The product is the program itself (its start, the
// database, the driver lists, the reader, the resource pass, the modules.cfg
// comparison and the settings files) and, on a second line, the same check
// called in this process. Prints the min and median of product / hwdb_load;
// each round's check must end with status 0 (nothing found).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_catalogue.h"
#include "bench_stats.h"
#include "hwdb/hwdb.h"
#include "hwdb/hwdb_parse.h"
#include "kvlcfg/kvlcfg.h"
#include "tools/catalogue/catalogue.h"

namespace {

constexpr int kCards = 2000;

// Runs the program with its output thrown away; returns its exit status.
// posix_spawn, so that copying this process's memory is not timed.
int run_check(const std::string &dir) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  std::string d = dir;
  char *argv[] = {const_cast<char *>("kvlcfg"), const_cast<char *>("-d"), d.data(),
                  const_cast<char *>("check"), nullptr};
  pid_t pid;
  int rc = posix_spawn(&pid, KVL_KVLCFG, &fa, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return 127;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// The same check in this process (kvlcfg's own output is thrown away).
int check_in_process(const std::string &dir) {
  std::fflush(nullptr);
  int saved_out = dup(1), saved_err = dup(2), null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  dup2(null, 2);
  std::string d = dir;
  char *argv[] = {const_cast<char *>("kvlcfg"), const_cast<char *>("-d"), d.data(),
                  const_cast<char *>("check"), nullptr};
  int status = kvl::kvlcfg_main(4, argv);
  std::fflush(nullptr);
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  close(saved_out);
  close(saved_err);
  close(null);
  return status;
}

double load_alone(const std::string &dir) {
  auto t0 = bench::Clock::now();
  kvl::HwdbModel db;
  std::string err;
  if (kvl::hwdb_load((dir + "/etc/config.dat").c_str(), &db, &err) < 0) std::exit(1);
  double took = bench::ms_since(t0);
  kvl::hwdb_model_free(&db);
  return took;
}

template <typename F>
double timed(F f, const char *what) {
  auto t0 = bench::Clock::now();
  int status = f();
  double took = bench::ms_since(t0);
  if (status != 0) {
    std::fprintf(stderr, "kvlcfg_bench: %s ended with %d\n", what, status);
    std::exit(1);
  }
  return took;
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = std::max(argc > 1 ? std::atoi(argv[1]) : 11, 11);
  std::string dir = bench::quiet_installation("kvlcfg_bench", "BENCH", kCards, "/SECUREAUDIO OFF\n");
  if (dir.empty()) return 1;

  auto process = [&] { return run_check(dir); };
  auto in_process = [&] { return check_in_process(dir); };
  for (int w = 0; w < 2; w++) {  // warm-up
    timed(process, "kvlcfg check");
    timed(in_process, "check in process");
    load_alone(dir);
  }
  bench::Rounds program, library;
  for (int i = 0; i < rounds; i++) {
    double l = load_alone(dir);
    program.add(l, timed(process, "kvlcfg check"));
    double l2 = load_alone(dir);
    library.add(l2, timed(in_process, "check in process"));
  }
  program.print("kvlcfg check / hwdb_load", "ms");
  library.print("check in process / hwdb_load", "ms");
  std::printf("goal: kvlcfg check at most 1.10 (median)\n");
  std::filesystem::remove_all(dir);
  return 0;
}
