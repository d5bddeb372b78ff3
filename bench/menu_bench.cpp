// menu_bench [ROUNDS]: the configurator's way from its start to the main menu
// (database, driver lists, reading devices.cfg with 10 cards, the resource
// pass, the rewrite of both files) against hwdb_load alone on the same
// 2000-card database, both timed in the same round. Prints the min and
// median of (start to menu) / (hwdb_load): the configurator's own work is
// the part above 1.
#include "common/asker.h"
#include "configurator/configurator.h"
#include "hwdb/hwdb.h"
#include "hwdb/hwdb_parse.h"
#include "entry/entry.h"
#include "bench_catalogue.h"
#include "bench_stats.h"
#include "tools/catalogue/catalogue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::Clock;
constexpr int kCards = 2000;

// Notes when the main menu is reached, and leaves it; any other question
// means the measured way was not the quiet one.
class MenuAsker final : public kvl::Asker {
 public:
  Clock::time_point reached;
  int other = 0;
  void notice(const std::string &, bool) override {}
  kvl::AskAnswer choose(const kvl::AskChoice &c) override {
    if (c.title != "Kelvane - Config main menu") {
      other++;
      return {kvl::ASK_ESCAPE, c.current};
    }
    reached = Clock::now();
    return {2, 0};  // "Exit without saving"
  }
  int enter_text(const std::string &, std::string &, size_t) override {
    other++;
    return 0;
  }
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The configurator's steps from its start to the main menu, without a driver.
double start_to_menu(const std::string &dir, MenuAsker &asker) {
  auto run = std::make_unique<kvl::CoreRun>();
  run->model.install_dir = dir;
  run->control.no_driver = 1;
  auto t0 = Clock::now();
  kvl::HwdbModel db;
  if (kvl::load_configurator_data(*run, &db) < 0) std::exit(1);
  kvl::Configurator cfg{*run, db, asker, dir + "/etc/devices.cfg", dir + "/etc/modules.cfg"};
  kvl::configure(cfg);
  double took = ms(asker.reached - t0);
  if (run->model.cards.count != bench::kQuietCards) {
    std::fprintf(stderr, "menu_bench: %d cards read\n", run->model.cards.count);
    std::exit(1);
  }
  kvl::hwdb_model_free(&db);
  return took;
}

double load_alone(const std::string &dir) {
  auto t0 = Clock::now();
  kvl::HwdbModel db;
  std::string err;
  if (kvl::hwdb_load((dir + "/etc/config.dat").c_str(), &db, &err) < 0) std::exit(1);
  double took = ms(Clock::now() - t0);
  kvl::hwdb_model_free(&db);
  return took;
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = std::max(argc > 1 ? std::atoi(argv[1]) : 11, 11);
  std::string dir = bench::quiet_installation("menu_bench", "MENU", kCards);
  if (dir.empty()) return 1;

  MenuAsker asker;
  for (int w = 0; w < 2; w++) {  // warm-up
    start_to_menu(dir, asker);
    load_alone(dir);
  }
  if (asker.other != 0) {
    std::fprintf(stderr, "menu_bench: %d questions before the menu\n", asker.other);
    return 1;
  }
  bench::Rounds r;
  for (int i = 0; i < rounds; i++) {
    double l = load_alone(dir);
    double m = start_to_menu(dir, asker);
    r.add(l, m);
  }
  r.print("start to main menu / hwdb_load", "ms");
  std::printf("goal: ratio under 1.10\n");
  std::filesystem::remove_all(dir);
  return 0;
}
