// What the kvlcfg tests share: an installation on a simulated machine with a
// configuration, kvlcfg run on it, and a picture of every file it holds.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "installed.h"
#include "support.h"

namespace kvltest {

// The package's starting configuration: five cards, two disabled devices.
inline std::string demo_config() {
  return read_file(std::string(KVL_SOURCE_DIR) + "/data/etc/devices.cfg");
}

// The demo machine's ISA cards without the rest: the SB16 at 220, IRQ 5,
// DMA 1 and 5, and the MPU-401 at 330, IRQ 9.
inline const char *kTwoCards =
    "/SECUREAUDIO OFF\n"
    "-SB16 #Sound Blaster 16 (jumper configured)\n"
    "OPL3 OFF\n"
    "MPU401 OFF\n"
    "SB16 ON P220 I5 D1 d5\n"
    "-MPU401 #MPU-401 compatible MIDI interface\n"
    "MPU401 ON P330 I9\n";

struct Kvl : Installed {
  // The demo machine (or machine_json) with devices.cfg holding config
  // (none when config is empty).
  explicit Kvl(const std::string &config = demo_config(), const std::string &machine_json = "")
      : Installed(machine_json) {
    if (!config.empty()) write("etc/devices.cfg", config);
  }

  // Runs kvlcfg -d DIR ARGS... on the machine.
  RunResult kvlcfg(const std::vector<std::string> &args, const std::string &input = "") const {
    std::vector<std::string> argv = {bin("kvlcfg"), "-d", dir};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv, {}, input);
  }
  // The same with --json; the document on standard output, parsed.
  nlohmann::json json(const std::vector<std::string> &args, RunResult *r = nullptr) const {
    std::vector<std::string> all = args;
    all.push_back("--json");
    RunResult got = kvlcfg(all);
    if (r) *r = got;
    return nlohmann::json::parse(got.out, nullptr, false);
  }
  // Text with the installation directory written DIR.
  std::string scrub(std::string text) const {
    for (size_t at; (at = text.find(dir)) != std::string::npos;) text.replace(at, dir.size(), "DIR");
    return text;
  }
  // Every file of the installation with its bytes (a large one, such as the
  // database, by its size and a hash, so that a failure prints readably),
  // bin/ and the configurator's lock file left out.
  std::map<std::string, std::string> files() const {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> out;
    for (const auto &e : fs::recursive_directory_iterator(dir)) {
      std::string rel = fs::relative(e.path(), dir).string();
      if (rel.rfind("bin", 0) == 0 || rel == "etc/.audset.lock" || !e.is_regular_file()) continue;
      std::string bytes = read_file(e.path().string());
      if (bytes.size() > 4096)
        bytes = std::to_string(bytes.size()) + " bytes, hash " +
                std::to_string(std::hash<std::string>{}(bytes));
      out[rel] = bytes;
    }
    return out;
  }
  // Starts the drivers with the configuration; true when every card came up.
  bool started() const { return tool("audstart").status == 0 && status() == "AUDSTART_OK\n"; }
};

}  // namespace kvltest
