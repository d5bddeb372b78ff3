// A test fixture for tests that call the OS seam in their own process: the
// one simulated machine of this process (in_process_machine), made afresh
// for every test, with the control device /dev/mixer0 open, and the kvlsim
// commands, injected faults and journal reads such tests use.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "control/control.h"
#include "support.h"
#include "sys/sys.h"

namespace kvltest {

class MachineFixture : public ::testing::Test {
 protected:
  kvl::ControlDevice control;

  // The built-in demo machine; a fixture of another machine overrides SetUp
  // and calls start with its machine.json text.
  void SetUp() override { start(""); }
  void TearDown() override { kvl::control_close(control); }

  // Initialises the machine afresh (the demo machine when machine_json is
  // empty) and opens the control device.
  void start(const std::string &machine_json) {
    std::vector<std::string> args = {bin("kvlsim"), "init", root()};
    TempDir tmp;
    if (!machine_json.empty()) {
      write_file(tmp / "machine.json", machine_json);
      args.push_back(tmp / "machine.json");
    }
    RunResult r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(kvl::sys_use_machine(root().c_str()), 0);
    control = kvl::ControlDevice{};
    ASSERT_EQ(kvl::control_open(control, false), 0);
  }

  static const std::string &root() { return in_process_machine(); }

  // Runs "kvlsim CMD ROOT ARGS..." and expects it to succeed.
  static void kvlsim(const std::string &cmd, const std::vector<std::string> &args = {}) {
    std::vector<std::string> argv = {bin("kvlsim"), cmd, root()};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = run(argv);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // Makes the request with this label or name fail with err: on its nth
  // call only, or on every call when nth is 0.
  static void fault(const std::string &request, const std::string &err, int nth) {
    kvlsim("fault", {request, err, std::to_string(nth)});
  }
  // The journal entries of this request, in order.
  static std::vector<nlohmann::json> journal(const std::string &request) {
    return journal_requests(root(), request);
  }
};

}  // namespace kvltest
