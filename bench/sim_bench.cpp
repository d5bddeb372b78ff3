// sim_bench [REQUESTS [ROUNDS]]: the simulator's cost per request, in
// process, on a machine directory on the machine's own file system (a
// folder beside the build, not /tmp when that is a RAM file system).
//
// Product: a mix of requests as start-up sends them, one in five changing the
// state (Get version, Get status, Set ioctl, Get reroute, Mixer setlevels,
// SNDCTL_AUDIOINFO on a started 10-card driver ...). Anchor: the file work no
// request can do without: take the machine's lock, read state.json, append a
// journal line, let go. One warm-up round of each, then ROUNDS (at least 11)
// rounds in turn; prints microseconds per request and the ratio. The goal is
// under 50 microseconds per request.
#include "bench_stats.h"
#include "common/text.h"
#include "driver/driver.h"
#include "sim/seqsim.h"
#include "sim/sim.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A machine of 10 ISA cards, added and activated, so the state is of the
// size a started driver keeps.
std::string machine_json() {
  std::string drivers, isa;
  for (int i = 0; i < 10; i++) {
    std::string n = "C" + std::to_string(i), sep = i ? ", " : "";
    drivers += sep + "{\"name\": \"" + n + "\", \"key\": " + std::to_string(10 + i) + "}";
    isa += sep + "{\"card\": \"" + n + "\", \"driver\": \"" + n + "\", \"port\": " +
           std::to_string(0x200 + 0x10 * i) + ", \"irq\": " + std::to_string(3 + i) +
           ", \"audio\": [\"" + n + " dsp\"], \"mixers\": [\"" + n + " mixer\"]}";
  }
  return "{\"drivers\": [" + drivers + "], \"isa\": [" + isa + "], \"synths\": [\"OPL\"]}";
}

int request(const std::string &root, uint32_t code, void *arg) {
  return kvl::sim_request(root.c_str(), 0, code, arg);
}

// Request i of the mix; every fifth changes the state.
int mixed_request(const std::string &root, int i) {
  int32_t v = 0;
  switch (i % 10) {
  case 0:
  case 5: {
    kvl::OptionRequest o{i % 7, i};
    return request(root, kvl::CTL_SET_OPTION, &o);
  }
  case 1:
    return request(root, kvl::CTL_GET_VERSION, &v);
  case 2:
    return request(root, kvl::CTL_GET_STATUS, &v);
  case 3: {
    kvl::RoutingRecord r{};
    r.mode = 2;
    return request(root, kvl::CTL_GET_REROUTE, &r);
  }
  case 4: {
    kvl::CardInfo ci{};
    ci.key = i % 10;
    return request(root, kvl::CTL_GET_CARD_INFO, &ci);
  }
  case 6:
    return request(root, kvl::CTL_GET_NCARDS, &v);
  case 7: {
    kvl::AudioInfo a{};
    a.dev = i % 10;
    return request(root, kvl::SNDCTL_AUDIOINFO, &a);
  }
  case 8:
    return request(root, kvl::CTL_GET_NDRIVERS, &v);
  default: {
    int32_t n = 0;
    return request(root, kvl::SNDCTL_SEQ_NRSYNTHS, &n);
  }
  }
}

}  // namespace

int main(int argc, char **argv) {
  int requests = argc > 1 ? std::atoi(argv[1]) : 2000;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 11;
  if (requests < 10 || rounds < 11) {
    std::fprintf(stderr, "usage: sim_bench [REQUESTS >= 10 [ROUNDS >= 11]]\n");
    return 2;
  }
  fs::path work = fs::absolute("sim_bench.work");
  fs::remove_all(work);
  fs::create_directories(work);
  const std::string root = (work / "sim").string(), machine = (work / "machine.json").string();
  std::ofstream(machine) << machine_json();
  std::string init = std::string(KVL_KVLSIM) + " init " + root + " " + machine;
  if (std::system(init.c_str()) != 0) return 1;
  for (int i = 0; i < 10; i++) {
    kvl::CardConfigRecord c{};
    c.key = 10 + i;
    std::snprintf(c.name, sizeof c.name, "C%d", i);
    c.port = 0x200 + 0x10 * i;
    c.irq = 3 + i;
    c.dma1 = c.dma2 = -1;
    if (request(root, kvl::CTL_ADD_CARD, &c) < 0) return 1;
  }
  int32_t zero = 0;
  if (request(root, kvl::CTL_ACTIVATE, &zero) < 0) return 1;

  const std::string line = "{\"request\":\"Get version\",\"result\":0,\"errno\":null,\"version\":235929}\n";
  auto anchor_round = [&] {
    auto t0 = bench::Clock::now();
    for (int i = 0; i < requests; i++) {
      int fd = seqsim_lock(root.c_str());
      std::string text;
      if (fd < 0 || kvl::read_text_file((root + "/state.json").c_str(), text) < 0 ||
          seqsim_journal_append(root.c_str(), line.c_str()) < 0)
        std::exit(1);
      seqsim_unlock(fd);
    }
    return bench::ms_since(t0) * 1000 / requests;
  };
  int failed = 0;
  auto product_round = [&] {
    auto t0 = bench::Clock::now();
    for (int i = 0; i < requests; i++)
      if (mixed_request(root, i) < 0) failed++;
    return bench::ms_since(t0) * 1000 / requests;
  };
  anchor_round();
  product_round();
  bench::Rounds r;
  for (int i = 0; i < rounds; i++) {
    double a = anchor_round();
    r.add(a, product_round());
  }
  std::printf("sim_bench: %d requests per round, %d rounds after a warm-up, %s\n", requests,
              rounds, work.c_str());
  r.print("simulator, per request (mix)", "us");
  std::printf("product per request: min %.1f us, median %.1f us (goal < 50 us)\n",
              bench::minimum(r.product), bench::median(r.product));
  fs::remove_all(work);
  if (failed) {
    std::fprintf(stderr, "sim_bench: %d requests failed\n", failed);
    return 1;
  }
  return 0;
}
