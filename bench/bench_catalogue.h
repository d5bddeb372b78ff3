// Generated hardware catalogues for the benchmarks: card i with three
// devices of drivers DRV0..DRV2, its texts shared by groups of cards so that
// the table of texts stays within its 1024 entries. Each benchmark gives the
// resources of every device.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "hwdb/hwdb.h"
#include "tools/catalogue/catalogue.h"

namespace bench {

constexpr int kCardDevices = 3;

using DeviceResources = std::function<std::vector<kvl::CatResource>(int card, int device)>;

inline kvl::CatCard make_card(const std::string &key, int i, const DeviceResources &resources) {
  kvl::CatCard c;
  c.key = key + std::to_string(i);
  c.title = "Benchmark card " + std::to_string(i);
  c.node.name = "bench";
  c.node.bus = 1;
  c.node.opt = kvl::OPT_NEEDS_ISA;
  c.node.descr = "Benchmark card family " + std::to_string(i % 200);
  for (int d = 0; d < kCardDevices; d++) {
    kvl::CatNode n;
    n.name = "DRV" + std::to_string(d);
    n.bus = 1;
    n.type = 1;
    n.num = d + 1;
    n.descr = "Device kind " + std::to_string((i + d) % 300);
    n.resources = resources(i, d);
    c.node.devices.push_back(n);
  }
  return c;
}

// A catalogue of cards cards keyed KEY0, KEY1, ..., with the three drivers.
inline kvl::Catalogue make_catalogue(const std::string &key, int cards,
                                     const DeviceResources &resources) {
  kvl::Catalogue cat;
  for (int d = 0; d < kCardDevices; d++)
    cat.drivers.push_back({"DRV" + std::to_string(d), "m" + std::to_string(d), d + 1, "", {}});
  for (int i = 0; i < cards; i++) cat.cards.push_back(make_card(key, i, resources));
  return cat;
}

// The configurator's and kvlcfg's benchmark database: each device has a
// port anywhere in 0x100..0x3f0, the first one an IRQ too, so that ten
// configured cards fit without a question.
inline std::vector<kvl::CatResource> quiet_device_resources(int, int d) {
  kvl::CatResource io;
  io.restype = kvl::RES_IO;
  io.range_start = 0x100;
  io.range_end = 0x3f0;
  io.range_step = 0x10;
  io.def = 0x100;
  io.size = 16;
  if (d != 0) return {io};
  kvl::CatResource irq;
  irq.restype = kvl::RES_IRQ;
  irq.count = 1;
  irq.mask = 0xdeb8;
  irq.def = 5;
  return {io, irq};
}

constexpr int kQuietCards = 10;

// devices.cfg with the first ten cards KEY0..KEY9 of such a database, every
// value valid and free, after the lines of head.
inline std::string quiet_devices_cfg(const std::string &key, const std::string &head = "") {
  const int irqs[kQuietCards] = {3, 4, 5, 7, 9, 10, 11, 12, 14, 15};
  std::string out = head;
  char line[96];
  for (int c = 0; c < kQuietCards; c++) {
    out += "-" + key + std::to_string(c) + "\n";
    for (int d = 0; d < kCardDevices; d++) {
      int port = 0x100 + 0x10 * (kCardDevices * c + d);
      if (d == 0) std::snprintf(line, sizeof line, "DRV%d ON P%x I%d\n", d, port, irqs[c]);
      else std::snprintf(line, sizeof line, "DRV%d ON P%x\n", d, port);
      out += line;
    }
  }
  return out;
}

// A fresh folder /tmp/NAME.XXXXXX with an installation's etc/: the quiet
// database of cards cards keyed KEY0, KEY1, ..., its modules.lis and
// modules.dep, and devices.cfg with the first ten cards after the lines of
// head. Returns the folder, or "" after a message on standard error.
inline std::string quiet_installation(const std::string &name, const std::string &key, int cards,
                                      const std::string &head = "") {
  kvl::Catalogue cat = make_catalogue(key, cards, quiet_device_resources);
  std::string err;
  if (kvl::catalogue_check(cat, &err) != 0) {
    std::fprintf(stderr, "%s", err.c_str());
    return "";
  }
  std::string tmpl = "/tmp/" + name + ".XXXXXX";
  if (!mkdtemp(tmpl.data())) {
    std::perror(tmpl.c_str());
    return "";
  }
  std::string dir = tmpl;
  std::filesystem::create_directories(dir + "/etc");
  if (kvl::write_config_dat(kvl::catalogue_image(cat), dir + "/etc/config.dat", &err) != 0) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return "";
  }
  std::ofstream(dir + "/etc/modules.lis") << kvl::catalogue_modules_lis(cat);
  std::ofstream(dir + "/etc/modules.dep") << kvl::catalogue_modules_dep(cat);
  std::ofstream(dir + "/etc/devices.cfg") << quiet_devices_cfg(key, head);
  return dir;
}

}  // namespace bench
