// menu_bench [ROUNDS]: the configurator's way from its start to the main menu
// (database, driver lists, reading devices.cfg with 10 cards, the resource
// pass, the rewrite of both files) against hwdb_load alone on the same
// 2000-card database, both timed in the same round. Prints the min and
// median of (start to menu) / (hwdb_load): the configurator's own work is
// the part above 1.
#include "cardcfg/asker.h"
#include "cardcfg/modules.h"
#include "cardcfg/resources.h"
#include "configurator/configurator.h"
#include "hwdb/hwdb.h"
#include "hwdb/hwdb_parse.h"
#include "start/start.h"
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

using Clock = std::chrono::steady_clock;
constexpr int kCards = 2000;
constexpr int kConfigured = 10;
constexpr int kDevices = 3;

// Card i: three devices, each with a port anywhere in 0x100..0x3f0 and the
// first one with an IRQ, so that 10 configured cards fit without a question.
kvl::CatCard make_card(int i) {
  kvl::CatCard c;
  c.key = "MENU" + std::to_string(i);
  c.title = "Menu benchmark card " + std::to_string(i);
  c.node.name = "bench";
  c.node.bus = 1;
  c.node.opt = kvl::OPT_NEEDS_ISA;
  c.node.descr = "Benchmark card family " + std::to_string(i % 200);
  for (int d = 0; d < kDevices; d++) {
    kvl::CatNode n;
    n.name = "DRV" + std::to_string(d);
    n.bus = 1;
    n.type = 1;
    n.num = d + 1;
    n.descr = "Device kind " + std::to_string((i + d) % 300);
    kvl::CatResource io;
    io.restype = kvl::RES_IO;
    io.range_start = 0x100;
    io.range_end = 0x3f0;
    io.range_step = 0x10;
    io.def = 0x100;
    io.size = 16;
    n.resources.push_back(io);
    if (d == 0) {
      kvl::CatResource irq;
      irq.restype = kvl::RES_IRQ;
      irq.count = 1;
      irq.mask = 0xdeb8;
      irq.def = 5;
      n.resources.push_back(irq);
    }
    c.node.devices.push_back(n);
  }
  return c;
}

// devices.cfg with the first 10 cards, every value valid and free.
std::string devices_cfg() {
  const int irqs[kConfigured] = {3, 4, 5, 7, 9, 10, 11, 12, 14, 15};
  std::string out;
  char line[96];
  for (int c = 0; c < kConfigured; c++) {
    out += "-MENU" + std::to_string(c) + "\n";
    for (int d = 0; d < kDevices; d++) {
      int port = 0x100 + 0x10 * (kDevices * c + d);
      if (d == 0) std::snprintf(line, sizeof line, "DRV%d ON P%x I%d\n", d, port, irqs[c]);
      else std::snprintf(line, sizeof line, "DRV%d ON P%x\n", d, port);
      out += line;
    }
  }
  return out;
}

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
  std::string err;
  if (kvl::read_modules_lis(run->model) < 0 ||
      kvl::hwdb_load((dir + "/etc/config.dat").c_str(), &db, &err) < 0 ||
      kvl::read_modules_dep(run->model) < 0) {
    std::fprintf(stderr, "menu_bench: %s\n", err.c_str());
    std::exit(1);
  }
  kvl::query_pci_irqs(run->model.resources, run->control);
  kvl::mark_resource_base(run->model.resources);
  kvl::Configurator cfg{*run, db, asker, dir + "/etc/devices.cfg", dir + "/etc/modules.cfg"};
  kvl::configure(cfg);
  double took = ms(asker.reached - t0);
  if (run->model.cards.count != kConfigured) {
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

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = std::max(argc > 1 ? std::atoi(argv[1]) : 11, 11);
  kvl::Catalogue cat;
  for (int d = 0; d < kDevices; d++)
    cat.drivers.push_back({"DRV" + std::to_string(d), "m" + std::to_string(d), d + 1, "", {}});
  for (int i = 0; i < kCards; i++) cat.cards.push_back(make_card(i));
  std::string err;
  if (kvl::catalogue_check(cat, &err) != 0) {
    std::fprintf(stderr, "%s", err.c_str());
    return 1;
  }
  char tmpl[] = "/tmp/menu_bench.XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  std::string dir = tmpl;
  std::filesystem::create_directories(dir + "/etc");
  if (kvl::write_config_dat(kvl::catalogue_image(cat), dir + "/etc/config.dat", &err) != 0) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  std::ofstream(dir + "/etc/modules.lis") << kvl::catalogue_modules_lis(cat);
  std::ofstream(dir + "/etc/modules.dep") << kvl::catalogue_modules_dep(cat);
  std::ofstream(dir + "/etc/devices.cfg") << devices_cfg();

  MenuAsker asker;
  for (int w = 0; w < 2; w++) {  // warm-up
    start_to_menu(dir, asker);
    load_alone(dir);
  }
  if (asker.other != 0) {
    std::fprintf(stderr, "menu_bench: %d questions before the menu\n", asker.other);
    return 1;
  }
  std::vector<double> menu, load, ratio;
  for (int r = 0; r < rounds; r++) {
    double m = start_to_menu(dir, asker);
    double l = load_alone(dir);
    menu.push_back(m);
    load.push_back(l);
    ratio.push_back(m / l);
  }
  std::printf("start to main menu  min %.3f ms  median %.3f ms\n",
              *std::min_element(menu.begin(), menu.end()), median(menu));
  std::printf("hwdb_load alone     min %.3f ms  median %.3f ms\n",
              *std::min_element(load.begin(), load.end()), median(load));
  std::printf("ratio (%d rounds)   min %.3f  median %.3f  (goal: under 1.10)\n", rounds,
              *std::min_element(ratio.begin(), ratio.end()), median(ratio));
  std::filesystem::remove_all(dir);
  return 0;
}
