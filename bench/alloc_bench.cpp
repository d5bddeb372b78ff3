// alloc_bench [ROUNDS]: one full rebuild_and_check_all over 10 cards of 10
// devices (every value valid and free, so nothing is asked) against an anchor
// of fixed work (sorting 4096 integers), both timed in the same round. Prints
// the time of one pass and the min and median of the ratio over the rounds.
#include "common/asker.h"
#include "cardcfg/cardlist.h"
#include "cardcfg/model.h"
#include "cardcfg/resources.h"
#include "hwdb/hwdb.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCards = 10;
constexpr int kDevices = 10;
constexpr int kReps = 200;  // passes per timed sample
const int kIrqs[kCards] = {3, 4, 5, 7, 9, 10, 11, 12, 14, 15};

// Counts what would be asked; a pass that asks is not the pass measured.
class CountingAsker final : public kvl::Asker {
 public:
  int asked = 0;
  void notice(const std::string &, bool) override { asked++; }
  kvl::AskAnswer choose(const kvl::AskChoice &c) override {
    asked++;
    return {kvl::ASK_ESCAPE, c.current};
  }
  int enter_text(const std::string &, std::string &, size_t) override {
    asked++;
    return 0;
  }
};

struct Bench {
  std::vector<kvl::HwdbNode> nodes;
  std::vector<kvl::HwdbMenu> menus;
  kvl::HwdbModel db;
  kvl::ConfigModel model;
};

kvl::HwdbResource resource(int type, int num) {
  kvl::HwdbResource r{};
  r.restype = type;
  r.num = num;
  r.descr = -1;
  r.count = 1;
  return r;
}

// Card c, device d: ports 0x100 + 8 * (10c + d) among 16 listed bases, the
// first device of each card an IRQ, the first device of cards 0..7 a DMA channel.
void build(Bench &b) {
  for (int c = 0; c < kCards; c++) {
    int first = static_cast<int>(b.nodes.size());
    for (int d = 0; d < kDevices; d++) {
      kvl::HwdbNode n{};
      std::snprintf(n.name, sizeof n.name, "dev%d_%d", c, d);
      n.descr = n.dnld_hint = n.control = -1;
      kvl::HwdbResource io = resource(kvl::RES_IO, 1);
      io.count = 16;
      for (int i = 0; i < 16; i++) io.values[i] = 0x100 + 8 * ((10 * c + d + i) % 120);
      io.size = 8;
      n.resources[n.nres++] = io;
      if (d == 0) {
        kvl::HwdbResource irq = resource(kvl::RES_IRQ, 1);
        irq.mask = 0xdeb8;
        n.resources[n.nres++] = irq;
        if (c < 8) {
          kvl::HwdbResource dma = resource(kvl::RES_DMA, 1);
          dma.mask = 0xff;
          n.resources[n.nres++] = dma;
        }
      }
      b.nodes.push_back(n);
    }
    kvl::HwdbNode card{};
    std::snprintf(card.name, sizeof card.name, "card%d", c);
    card.descr = card.dnld_hint = card.control = -1;
    for (int d = 0; d < kDevices; d++) card.children[card.child_count++] = first + d;
    b.nodes.push_back(card);
    kvl::HwdbMenu m{};
    m.node = static_cast<int>(b.nodes.size()) - 1;
    std::snprintf(m.name, sizeof m.name, "BENCH%d", c);
    std::snprintf(m.title, sizeof m.title, "Benchmark card %d", c);
    b.menus.push_back(m);
  }
  b.db.nodes = b.nodes.data();
  b.db.node_count = static_cast<int>(b.nodes.size());
  b.db.menus = b.menus.data();
  b.db.menu_count = static_cast<int>(b.menus.size());
}

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

unsigned anchor_sink = 0;

void anchor() {
  std::vector<unsigned> v(4096);
  unsigned x = 12345;
  for (unsigned &e : v) e = x = x * 1664525u + 1013904223u;
  std::sort(v.begin(), v.end());
  anchor_sink += v[v.size() / 2];
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
  if (rounds < 11) rounds = 11;
  Bench b;
  build(b);
  CountingAsker asker;
  for (int c = 0; c < kCards; c++) {
    char key[16];
    std::snprintf(key, sizeof key, "BENCH%d", c);
    if (kvl::add_card(b.model, b.db, asker, key, 0) < 0) return 1;
    for (int d = 0; d < kDevices; d++) {
      kvl::CardDevice &dev = b.model.cards.cards[c].devices[d];
      dev.port = 0x100 + 8 * (10 * c + d);
      dev.irq[0] = d == 0 ? kIrqs[c] : -1;
      dev.dma[0] = d == 0 && c < 8 ? c : -1;
    }
  }
  for (int w = 0; w < 3; w++) {  // warm-up
    kvl::rebuild_and_check_all(b.model, b.db, asker);
    anchor();
  }
  if (asker.asked != 0 || b.model.resources.ports.size() != kCards * kDevices) {
    std::fprintf(stderr, "alloc_bench: the pass asked or lost a device (%d asked)\n", asker.asked);
    return 1;
  }
  std::vector<double> pass, anch, ratio;
  for (int r = 0; r < rounds; r++) {
    auto t0 = Clock::now();
    for (int i = 0; i < kReps; i++) kvl::rebuild_and_check_all(b.model, b.db, asker);
    double p = ms_since(t0) / kReps;
    t0 = Clock::now();
    for (int i = 0; i < kReps; i++) anchor();
    double a = ms_since(t0) / kReps;
    pass.push_back(p);
    anch.push_back(a);
    ratio.push_back(p / a);
  }
  std::printf("rebuild_and_check_all (%d cards x %d devices): median %.4f ms, min %.4f ms\n",
              kCards, kDevices, median(pass), *std::min_element(pass.begin(), pass.end()));
  std::printf("anchor (sort 4096 integers):                   median %.4f ms\n", median(anch));
  std::printf("ratio over %d rounds: min %.2f, median %.2f (sink %u)\n", rounds,
              *std::min_element(ratio.begin(), ratio.end()), median(ratio), anchor_sink);
  return 0;
}
