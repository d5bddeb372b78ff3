// Generated hardware catalogues for the benchmarks: card i with three
// devices of drivers DRV0..DRV2, its texts shared by groups of cards so that
// the table of texts stays within its 1024 entries. Each benchmark gives the
// resources of every device.
#pragma once

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

}  // namespace bench
