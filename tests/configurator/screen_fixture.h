// What the configurator's screen tests share: an installation built from the
// package's data on a simulated machine, and ways to find, move to and
// choose lines of the dialog on screen.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support.h"
#include "termharness.h"

namespace cfgtest {

using kvltest::Key;
using kvltest::Terminal;

inline const std::string kMenu = "Kelvane - Config main menu";
inline const std::string kAdd = "Select a device to be added";
const std::vector<std::string> kHandshake = {"Get version", "Get status", "Get #drivers",
                                             "Get driver types"};

// One ISA card (the SB16 at 220, IRQ 5, DMA 1 and 5) and its drivers; its FM
// and MIDI parts answer at their ports, and their drivers' probes report
// nothing of them (an empty line), as for parts of a card.
inline const char *kIsaMachine = R"({
  "version": "0x039999", "major": 14,
  "drivers": [{"name": "SB16", "key": 3}, {"name": "MPU401", "key": 4}, {"name": "OPL3", "key": 5}],
  "isa": [{"card": "SB16", "driver": "SB16", "port": "0x220", "irq": 5, "dma": 1, "dma2": 5,
           "audio": ["SB16 DSP"], "mixers": ["SB16 mixer"]},
          {"card": "OPL3", "driver": "OPL3", "port": "0x388", "reply": ""},
          {"card": "MPU401", "driver": "MPU401", "port": "0x330", "reply": ""}]
})";

// Complete card sections: nothing is left to ask when they are read.
inline const std::string kSb16 =
    "-SB16\nOPL3 ON P388\nMPU401 ON P330\nSB16 ON P220 I5 D1 d5\n";
inline const std::string kMpu = "-MPU401\nMPU401 ON P300 I9\n";

struct Installed {
  kvltest::SimMachine machine;
  kvltest::TempDir install;
  kvltest::TempDir scratch;

  explicit Installed(const std::string &machine_json = "") : machine(machine_json) {
    namespace fs = std::filesystem;
    for (const char *d : {"bin", "etc", "logs", "docs"}) fs::create_directories(install / d);
    for (const char *p : {"audcore", "audstart", "audstop", "kvlsim"})
      fs::create_symlink(kvltest::bin(p), install / (std::string("bin/") + p));
    for (const auto &e : fs::directory_iterator(std::string(KVL_DATA_DIR) + "/etc"))
      fs::copy_file(e.path(), install / ("etc/" + e.path().filename().string()));
    kvltest::write_file(machine.root() + "/etc/kvl.conf", "KVLLIBDIR=" + install.path() + "\n");
  }
  std::string path(const std::string &rel) const { return install / rel; }
  std::string read(const std::string &rel) const { return kvltest::read_file(path(rel)); }
  std::string status() const { return read(".status"); }
  std::string err() const { return kvltest::read_file(scratch / "stderr"); }
  std::vector<std::string> requests() const {
    std::vector<std::string> out;
    for (const auto &j : machine.journal()) out.push_back(j["request"].get<std::string>());
    return out;
  }
  kvltest::RunResult audcore(const std::string &word, const std::string &input = "") const {
    return kvltest::run({kvltest::bin("audcore"), word, install.path()},
                        {machine.env(), "TERM=xterm"}, input);
  }
  // Starts the configurator on t, standard error to a file.
  bool launch(Terminal &t) const {
    t.stderr_to(scratch / "stderr");
    return t.start({kvltest::bin("audcore"), "c", install.path()}, {machine.env()});
  }
  // The same, waiting for the list titled title.
  bool start(Terminal &t, const std::string &title) const {
    return launch(t) && drawn(t, title);
  }

  // A full-screen list with title is drawn and the cursor stands in it.
  static bool drawn(Terminal &t, const std::string &title) {
    int last = t.rows() - 1;
    return t.wait_until([&] {
      return t.row(0).find(title) != std::string::npos && t.cell(last, t.cols() - 1).ch == "┘" &&
             t.cursor().row < last;
    });
  }
};

// The highlighted line of the list on screen: its row and text.
inline std::pair<int, std::string> highlighted(const Terminal &t) {
  for (int r = 1; r < t.rows() - 1; r++)
    if (t.cell(r, 2).reverse) return {r, t.row(r)};
  return {-1, ""};
}

// Moves the highlight down until its line holds text; false when it never does.
inline bool move_to(Terminal &t, const std::string &text, int limit = 200) {
  for (int i = 0; i < limit; i++) {
    if (!t.wait_until([&] { return highlighted(t).first > 0; })) return false;
    auto now = highlighted(t);
    if (now.second.find(text) != std::string::npos) return true;
    t.press(Key::Down);
    if (!t.wait_until([&] { return highlighted(t) != now && highlighted(t).first > 0; }))
      return false;
  }
  return false;
}

// Highlights the line holding text, chooses it with Enter and waits for the
// list titled next_title with next_text on it.
inline bool choose(Terminal &t, const std::string &text, const std::string &next_title,
            const std::string &next_text = "") {
  if (!move_to(t, text)) return false;
  t.press(Key::Enter);
  return Installed::drawn(t, next_title) && t.wait_for(next_text);
}

inline bool on_screen(const Terminal &t, const std::string &text) {
  return t.screen().find(text) != std::string::npos;
}

// Waits until the screen has stayed the same for quiet_ms: a dialog is
// drawn in several writes, and a key sent in between lands in the next one.
inline bool settled(Terminal &t, int quiet_ms = 150) {
  auto start = std::chrono::steady_clock::now();
  std::string last = t.screen();
  auto since = start;
  for (;;) {
    t.wait_until([] { return false; }, 25);
    std::string now = t.screen();
    auto at = std::chrono::steady_clock::now();
    if (now != last) {
      last = now;
      since = at;
    } else if (at - since >= std::chrono::milliseconds(quiet_ms)) {
      return true;
    }
    if (at - start > std::chrono::milliseconds(kvltest::WAIT_MS)) return false;
  }
}

// Answers every resource dialog that comes up with its highlighted line
// until the main menu is drawn; false when it never is.
inline bool accept_dialogs_until_menu(Terminal &t, int limit = 40) {
  for (int i = 0; i < limit; i++) {
    if (!t.wait_until([&] {
          return (t.row(0).find("Select ") != std::string::npos ||
                  t.row(0).find(kMenu) != std::string::npos) &&
                 highlighted(t).first > 0;
        }) ||
        !settled(t))
      return false;
    if (t.row(0).find(kMenu) != std::string::npos) return true;
    std::string before = t.screen();
    t.press(Key::Enter);
    if (!t.wait_until([&] { return t.screen() != before; })) return false;
  }
  return false;
}

}  // namespace cfgtest
