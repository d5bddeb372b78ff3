#include "faults.h"

#include "errnames.h"
#include "requests.h"

namespace kvl {

namespace {

// Counts one matching call in counter; true when the fault fires for it.
bool fires(int nth, SimJson &counter) {
  int calls = (counter.is_number_integer() ? counter.get<int>() : 0) + 1;
  counter = calls;
  return nth == 0 || calls == nth;
}

template <typename Match>
int first_firing(const Machine &m, SimJson &state, Match match) {
  int err = 0;
  for (size_t i = 0; i < m.faults.size(); i++) {
    const SimFault &f = m.faults[i];
    if (!match(f.request, f.open)) continue;
    if (fires(f.nth, state["machine_fault_calls"][std::to_string(i)]) && !err) err = f.err;
  }
  for (auto &f : state["faults"]) {
    if (!f.is_object()) continue;
    if (!match(f.value("request", ""), f.value("open", ""))) continue;
    int e = errno_value(f.value("errno", "").c_str());
    if (fires(f.value("nth", 0), f["calls"]) && !err) err = e;
  }
  return err;
}

}  // namespace

int fault_for_request(const Machine &m, SimJson &state, uint32_t code) {
  return first_firing(m, state, [code](const std::string &request, const std::string &) {
    return !request.empty() && request_matches(code, request);
  });
}

int fault_for_open(const Machine &m, SimJson &state, const std::string &syspath) {
  return first_firing(m, state, [&syspath](const std::string &, const std::string &open) {
    return !open.empty() && open == syspath;
  });
}

}  // namespace kvl
