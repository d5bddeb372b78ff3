// An installation on a simulated machine for the tests that run its
// programs on a pseudo-terminal: the whole package by default, the
// configurator started on a terminal, and waiting for a full-screen list.
#pragma once

#include <string>
#include <vector>

#include "installation.h"
#include "support.h"
#include "termharness.h"

namespace kvltest {

struct Installed : Installation {
  TempDir scratch;

  explicit Installed(const std::string &machine_json = "", const std::string &folder = "",
                     const Layout &layout = package_layout())
      : Installation(machine_json, folder, layout) {}
  std::string err() const { return read_file(scratch / "stderr"); }
  RunResult audcore(const std::string &word, const std::string &input = "") const {
    return Installation::audcore(word, input, {"TERM=xterm"});
  }
  // Starts the configurator on t, standard error to a file (or, with
  // stderr_on_terminal, on t itself); env entries are added to the machine's.
  bool launch(Terminal &t, const std::vector<std::string> &extra_env = {},
              bool stderr_on_terminal = false) const {
    if (!stderr_on_terminal) t.stderr_to(scratch / "stderr");
    return t.start({bin("audcore"), "c", dir}, env(extra_env));
  }
  // The same, waiting for the list titled title.
  bool start(Terminal &t, const std::string &title) const { return launch(t) && drawn(t, title); }

  // A full-screen list with title is on screen and the cursor stands in it.
  static bool shows(const Terminal &t, const std::string &title) {
    int last = t.rows() - 1;
    return t.row(0).find(title) != std::string::npos && t.cell(last, t.cols() - 1).ch == "┘" &&
           t.cursor().row < last;
  }
  // Waits until it is.
  static bool drawn(Terminal &t, const std::string &title, int timeout_ms = WAIT_MS) {
    return t.wait_until([&] { return shows(t, title); }, timeout_ms);
  }
};

}  // namespace kvltest
