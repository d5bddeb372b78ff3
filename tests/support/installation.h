// An installation directory on a fresh simulated machine, laid out with as
// much of what cmake --install lays out as a test needs, and the programs run
// on that machine. Every run made here selects the machine the same way
// (env()), so that is the one place to change it.
#pragma once

#include <string>
#include <vector>

#include "support.h"

namespace kvltest {

// What an installation holds once laid out; every part may be left empty.
struct Layout {
  std::vector<std::string> folders = {};   // empty folders ("logs")
  std::vector<std::string> programs = {};  // built programs linked under bin/
  bool built_etc = false;                  // etc/ files the build makes (config.dat, modules.lis, ...)
  std::vector<std::string> shipped = {};   // files copied from the source tree (shipped_file)
  bool named = false;                      // the machine's /etc/kvl.conf names the installation
};

// The whole package: every program, the files the build makes under etc/,
// empty logs/ and docs/, named by /etc/kvl.conf; shipped files added.
Layout package_layout(const std::vector<std::string> &shipped = {});

// The source file the installation's file rel is shipped from: etc/NAME from
// data/etc/NAME, any other path (docs/README.kvltest) from the same path.
std::string shipped_file(const std::string &rel);

struct Installation {
  SimMachine machine;
  TempDir top;
  std::string dir;  // top itself, or folder inside it

  // The machine machine_json (the demo machine when empty) and the directory
  // laid out as layout says. A folder name with blanks or quotes shows what
  // a shell is given.
  explicit Installation(const std::string &machine_json = "", const std::string &folder = "",
                        const Layout &layout = {});

  void lay_out(const Layout &layout) const;
  // Links the built programs under bin/.
  void link(const std::vector<std::string> &programs) const;
  // Writes the machine's /etc/kvl.conf.
  void write_kvl_conf(const std::string &text) const;

  std::string path(const std::string &rel) const { return dir + "/" + rel; }
  std::string read(const std::string &rel) const { return read_file(path(rel)); }
  // Writes the file rel, creating its folders.
  void write(const std::string &rel, const std::string &text) const { write_file(path(rel), text); }
  std::string status() const { return read(".status"); }

  // The environment entries that select the machine, extra ones after them
  // (so "NAME=" there still removes NAME).
  std::vector<std::string> env(const std::vector<std::string> &extra = {}) const;
  // Runs argv on the machine.
  RunResult run(const std::vector<std::string> &argv, const std::vector<std::string> &extra_env = {},
                const std::string &input = "") const;
  // The built audcore WORD DIR, input on its standard input.
  RunResult audcore(const std::string &word, const std::string &input = "",
                    const std::vector<std::string> &extra_env = {}) const;
  // The installation's bin/NAME.
  RunResult tool(const std::string &name, const std::vector<std::string> &extra_env = {}) const;
};

}  // namespace kvltest
