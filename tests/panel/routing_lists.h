// Routing lists in the panel's tests: a record from a list of devices, and
// the devices of a record or of a journalled request.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <vector>

#include "driver/driver.h"

namespace paneltest {

inline kvl::RoutingRecord routing(int mode, const std::vector<int> &devices) {
  kvl::RoutingRecord rec = {};
  rec.mode = mode;
  rec.count = static_cast<int>(devices.size());
  for (size_t i = 0; i < devices.size(); i++) rec.devices[i] = static_cast<uint8_t>(devices[i]);
  return rec;
}

inline std::vector<int> devices_of(const nlohmann::json &j) {
  return j["devices"].get<std::vector<int>>();
}

inline std::vector<int> devices_of(const kvl::RoutingRecord &r) {
  return std::vector<int>(r.devices, r.devices + r.count);
}

}  // namespace paneltest
