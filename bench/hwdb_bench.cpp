// hwdb_bench [CARDS] [ROUNDS]: generates a database of CARDS cards (2000 by
// default) the way the build does, then times hwdb_load on it against
// `uncompress` alone on the same compressed bytes, and prints the ratio.
#include "hwdb/hwdb.h"
#include "hwdb/hwdb_parse.h"
#include "hwdb/hwdb_scramble.h"
#include "tools/catalogue/catalogue.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Card i: an ISA card with three devices, the texts shared by groups of cards
// so that the table of texts stays within its 1024 entries.
kvl::CatCard make_card(int i) {
  kvl::CatCard c;
  c.key = "BENCH" + std::to_string(i);
  c.title = "Benchmark card " + std::to_string(i);
  c.node.name = "bench";
  c.node.bus = 1;
  c.node.opt = kvl::OPT_NEEDS_ISA;
  c.node.descr = "Benchmark card family " + std::to_string(i % 200);
  for (int d = 0; d < 3; d++) {
    kvl::CatNode n;
    n.name = "DRV" + std::to_string(d);
    n.bus = 1;
    n.type = 1;
    n.num = d + 1;
    n.descr = "Device kind " + std::to_string((i + d) % 300);
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
    n.resources = {io, irq};
    c.node.devices.push_back(n);
  }
  return c;
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

}  // namespace

int main(int argc, char **argv) {
  int cards = argc > 1 ? std::atoi(argv[1]) : 2000;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  kvl::Catalogue cat;
  for (int d = 0; d < 3; d++)
    cat.drivers.push_back({"DRV" + std::to_string(d), "m" + std::to_string(d), d + 1, "", {}});
  for (int i = 0; i < cards; i++) cat.cards.push_back(make_card(i));
  std::string err;
  if (kvl::catalogue_check(cat, &err) != 0) {
    std::fprintf(stderr, "%s", err.c_str());
    return 1;
  }
  std::string image = kvl::catalogue_image(cat);

  char dir[] = "/tmp/hwdb_bench.XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string dat = std::string(dir) + "/config.dat", z = std::string(dir) + "/config.Z";
  if (kvl::write_config_dat(image, dat, &err) != 0) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  // The same compressed bytes, descrambled, for `uncompress` alone.
  std::string packed = slurp(dat);
  kvl::HwdbScrambler s;
  kvl::hwdb_scrambler_init(&s, packed.size());
  kvl::hwdb_scramble(&s, reinterpret_cast<unsigned char *>(packed.data()), packed.size());
  std::ofstream(z, std::ios::binary) << packed;

  double load = 1e9, alone = 1e9;
  for (int r = 0; r < rounds; r++) {
    auto t0 = Clock::now();
    kvl::HwdbModel db;
    std::string load_err;
    if (kvl::hwdb_load(dat.c_str(), &db, &load_err) < 0) {
      std::fprintf(stderr, "%s", load_err.c_str());
      return 1;
    }
    load = std::min(load, std::chrono::duration<double>(Clock::now() - t0).count());
    kvl::hwdb_model_free(&db);
    alone = std::min(alone, time_uncompress(z));
  }
  std::printf("cards %d, image %zu bytes, config.dat %zu bytes\n", cards, image.size(),
              packed.size());
  std::printf("hwdb_load      %.3f ms (best of %d)\n", load * 1e3, rounds);
  std::printf("uncompress     %.3f ms (best of %d)\n", alone * 1e3, rounds);
  std::printf("ratio          %.2f\n", load / alone);
  unlink(dat.c_str());
  unlink(z.c_str());
  rmdir(dir);
  return 0;
}
