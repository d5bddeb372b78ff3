// hwdb_bench [ROUNDS [CARDS...]]: for databases of 100, 2000 and 10000 cards
// (or the CARDS given), generated the way the build does, times hwdb_load
// (feeder, `uncompress`, loader) against two anchors on the same compressed
// bytes: `uncompress` alone (its output discarded), and the floor of any
// loader of the stream, `uncompress` writing into a pipe whose reader keeps
// the bytes in fresh memory (as the loader does: one mapping, huge pages
// where the system gives them) and looks at none of them. One warm-up round
// of each, then ROUNDS (at least 11) rounds in turn; prints the minimum and
// median of the ratio to each. Each load is checked to hold every card, each
// floor round to have kept every byte.
#include "bench_stats.h"
#include "hwdb/hwdb.h"
#include "hwdb/hwdb_parse.h"
#include "hwdb/hwdb_scramble.h"
#include "bench_catalogue.h"
#include "tools/catalogue/catalogue.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Each device: four listed ports and an IRQ, each with its own text.
std::vector<kvl::CatResource> device_resources(int i, int d) {
  kvl::CatResource io;
  io.restype = kvl::RES_IO;
  io.values = {0x220, 0x240, 0x260, 0x280};
  io.count = 4;
  io.def = 0x220 + 0x20 * (i % 4);
  io.size = 16;
  io.descr = "Port of kind " + std::to_string(d);
  kvl::CatResource irq;
  irq.restype = kvl::RES_IRQ;
  irq.count = 1;
  irq.mask = 0x4a0;
  irq.def = 5;
  return {io, irq};
}

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Seconds that `uncompress` takes for the file z (standard output discarded).
double time_uncompress(const std::string &z) {
  auto t0 = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(z.c_str(), O_RDONLY), out = open("/dev/null", O_WRONLY);
    dup2(in, 0);
    dup2(out, 1);
    execlp("uncompress", "uncompress", static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "uncompress failed\n");
    std::exit(1);
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Seconds that `uncompress` takes for the file z with its output read through
// a pipe into fresh memory; *kept the bytes read (size expected).
double time_uncompress_into_memory(const std::string &z, size_t size, size_t *kept) {
  auto t0 = Clock::now();
  int p[2];
  if (pipe(p) < 0) {
    std::perror("pipe");
    std::exit(1);
  }
#ifdef F_SETPIPE_SZ
  fcntl(p[1], F_SETPIPE_SZ, 1 << 20);
#endif
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(z.c_str(), O_RDONLY);
    dup2(in, 0);
    dup2(p[1], 1);
    close(p[0]);
    close(p[1]);
    execlp("uncompress", "uncompress", static_cast<char *>(nullptr));
    _exit(127);
  }
  close(p[1]);
  const size_t huge = 2 << 20;
  size_t len = (size + huge - 1) / huge * huge;
  char *map = static_cast<char *>(
      mmap(nullptr, len + huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  if (map == MAP_FAILED) {
    std::perror("mmap");
    std::exit(1);
  }
  char *buf = reinterpret_cast<char *>((reinterpret_cast<uintptr_t>(map) + huge - 1) / huge * huge);
#ifdef MADV_HUGEPAGE
  madvise(buf, len, MADV_HUGEPAGE);
#endif
  size_t got = 0;
  for (;;) {
    ssize_t r = read(p[0], buf + got, len - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  close(p[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  double t = std::chrono::duration<double>(Clock::now() - t0).count();
  munmap(map, len + huge);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "uncompress failed\n");
    std::exit(1);
  }
  *kept = got;
  return t;
}

// Times one database size; false when a load fails.
bool bench_cards(int cards, int rounds) {
  kvl::Catalogue cat = bench::make_catalogue("BENCH", cards, device_resources);
  std::string err;
  if (kvl::catalogue_check(cat, &err) != 0) {
    std::fprintf(stderr, "%s", err.c_str());
    return false;
  }
  std::string image = kvl::catalogue_image(cat);

  char dir[] = "/tmp/hwdb_bench.XXXXXX";
  if (!mkdtemp(dir)) return false;
  std::string dat = std::string(dir) + "/config.dat", z = std::string(dir) + "/config.Z";
  if (kvl::write_config_dat(image, dat, &err) != 0) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return false;
  }
  // The same compressed bytes, descrambled, for `uncompress` alone.
  std::string packed = slurp(dat);
  kvl::HwdbScrambler s;
  kvl::hwdb_scrambler_init(&s, packed.size());
  kvl::hwdb_scramble(&s, reinterpret_cast<unsigned char *>(packed.data()), packed.size());
  std::ofstream(z, std::ios::binary) << packed;
  // The loader forks its feeder: let the process be as small as audcore's,
  // not carry the generated database into every fork.
  size_t image_size = image.size(), image_kb = image_size / 1024;
  std::string().swap(image);
  std::string().swap(packed);
  cat = kvl::Catalogue();
  malloc_trim(0);

  bench::Rounds r, floor;
  bool ok = true;
  for (int i = -1; i < rounds; i++) {
    double alone = time_uncompress(z) * 1e3;
    size_t kept = 0;
    double kept_ms = time_uncompress_into_memory(z, image_size, &kept) * 1e3;
    if (kept != image_size) ok = false;
    auto t0 = Clock::now();
    kvl::HwdbModel db;
    std::string load_err;
    if (kvl::hwdb_load(dat.c_str(), &db, &load_err) < 0) {
      std::fprintf(stderr, "%s", load_err.c_str());
      return false;
    }
    double load = bench::ms_since(t0);
    if (db.menu_count != cards || kvl::hwdb_find_card(db, ("BENCH" + std::to_string(cards - 1)).c_str()) < 0)
      ok = false;
    kvl::hwdb_model_free(&db);
    if (i >= 0) {
      r.add(alone, load);
      floor.add(kept_ms, load);
    }
  }
  char what[64];
  std::snprintf(what, sizeof what, "hwdb_load, %d cards (%zu KB)", cards, image_kb);
  r.print(what, "ms");
  std::snprintf(what, sizeof what, "  / the floor (into memory)");
  floor.print(what, "ms");
  unlink(dat.c_str());
  unlink(z.c_str());
  rmdir(dir);
  if (!ok) std::fprintf(stderr, "hwdb_bench: a load of %d cards missed cards or bytes\n", cards);
  return ok;
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 11;
  if (rounds < 11) rounds = 11;
  std::vector<int> sizes;
  for (int i = 2; i < argc; i++) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {100, 2000, 10000};
  std::printf("hwdb_bench: hwdb_load against `uncompress` alone on the same bytes, and against "
              "`uncompress` into fresh memory through a pipe (the floor), %d rounds after a "
              "warm-up, wall-clock ms\n",
              rounds);
  bool ok = true;
  for (int cards : sizes) ok = bench_cards(cards, rounds) && ok;
  return ok ? 0 : 1;
}
