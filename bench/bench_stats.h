// What every benchmark prints: rounds of anchor and product in turn, the
// ratio of each round, and its minimum and median.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double minimum(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

// Rounds of one measure: anchor and product times (any unit) per round.
struct Rounds {
  std::vector<double> anchor, product;
  void add(double a, double p) {
    anchor.push_back(a);
    product.push_back(p);
  }
  std::vector<double> ratios() const {
    std::vector<double> r;
    for (size_t i = 0; i < anchor.size(); i++) r.push_back(product[i] / anchor[i]);
    return r;
  }
  // One line: the medians of both, and the minimum and median of the ratio.
  void print(const char *what, const char *unit) const {
    std::vector<double> r = ratios();
    std::printf("%-34s anchor %8.3f %s  product %8.3f %s  ratio min %5.2f median %5.2f  (%zu rounds)\n",
                what, median(anchor), unit, median(product), unit, minimum(r), median(r),
                r.size());
  }
};

}  // namespace bench
