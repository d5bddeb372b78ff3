// An installation on a simulated machine, laid out as cmake --install lays
// it out (the built programs linked under bin/, the package's data under
// etc/), for the tests that run the programs on it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support.h"
#include "termharness.h"

namespace kvltest {

// An installation built from the package's data with the built programs
// under bin/, named by the machine's /etc/kvl.conf. Its directory is the
// temporary folder itself, or folder inside it (a name with blanks or quotes
// shows what the shell is given).
struct Installed {
  SimMachine machine;
  TempDir top;
  TempDir scratch;
  std::string dir;

  explicit Installed(const std::string &machine_json = "", const std::string &folder = "")
      : machine(machine_json), dir(folder.empty() ? top.path() : top / folder) {
    namespace fs = std::filesystem;
    for (const char *d : {"bin", "etc", "logs", "docs"}) fs::create_directories(path(d));
    for (const char *p : {"audcore", "audstart", "audstop", "kvlsim", "kvltest", "kvlupdate", "kvlconf.sh",
                          "kvlcfg"})
      fs::create_symlink(bin(p), path(std::string("bin/") + p));
    for (const auto &e : fs::directory_iterator(std::string(KVL_DATA_DIR) + "/etc"))
      fs::copy_file(e.path(), path("etc/" + e.path().filename().string()));
    write_file(machine.root() + "/etc/kvl.conf", "KVLLIBDIR=" + dir + "\n");
  }
  std::string path(const std::string &rel) const { return dir + "/" + rel; }
  std::string read(const std::string &rel) const { return read_file(path(rel)); }
  std::string status() const { return read(".status"); }
  std::string err() const { return read_file(scratch / "stderr"); }
  std::vector<std::string> requests() const {
    std::vector<std::string> out;
    for (const auto &j : machine.journal()) out.push_back(j["request"].get<std::string>());
    return out;
  }
  RunResult audcore(const std::string &word, const std::string &input = "") const {
    return run({bin("audcore"), word, dir}, {machine.env(), "TERM=xterm"}, input);
  }
  // Runs the installation's bin/TOOL on the machine.
  RunResult tool(const std::string &name, const std::vector<std::string> &env = {}) const {
    std::vector<std::string> all = {machine.env()};
    all.insert(all.end(), env.begin(), env.end());
    return run({path("bin/" + name)}, all);
  }
  // Starts the configurator on t, standard error to a file (or, with
  // stderr_on_terminal, on t itself); env entries are added to the machine's.
  bool launch(Terminal &t, const std::vector<std::string> &env = {},
              bool stderr_on_terminal = false) const {
    if (!stderr_on_terminal) t.stderr_to(scratch / "stderr");
    std::vector<std::string> all = {machine.env()};
    all.insert(all.end(), env.begin(), env.end());
    return t.start({bin("audcore"), "c", dir}, all);
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
