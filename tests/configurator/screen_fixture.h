// What the configurator's screen tests share: an installation on a simulated
// machine, machines and configurations they start from, and moving through
// the configurator's lists on a pseudo-terminal.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "installed.h"
#include "support.h"
#include "termharness.h"

namespace kvltest {

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


// The highlighted line of the list on screen: its row and text.
inline std::pair<int, std::string> highlighted(const Terminal &t) {
  for (int r = 1; r < t.rows() - 1; r++)
    if (t.cell(r, 2).reverse) return {r, t.row(r)};
  return {-1, ""};
}

// The current line of the list on screen: the row the cursor stands on (an
// unselectable line is current without a highlight) and its text. While a
// list is still being drawn the cursor may stand on any row, or two rows may
// be highlighted: only a screen whose one highlighted row (if any) is the
// cursor's row counts, else {-1, ""}.
inline std::pair<int, std::string> current_line(const Terminal &t) {
  int r = t.cursor().row;
  if (r < 1 || r >= t.rows() - 1) return {-1, ""};
  int lit = 0;
  for (int row = 1; row < t.rows() - 1; row++)
    if (t.cell(row, 2).reverse && (++lit > 1 || row != r)) return {-1, ""};
  return {r, t.row(r)};
}

// Moves the current line down, then up, until it holds text; false when no
// line does. A move that changes nothing within stuck_ms is an end of the list.
inline bool move_to(Terminal &t, const std::string &text, int limit = 200, int stuck_ms = 300) {
  Key way = Key::Down;
  for (int i = 0; i < limit; i++) {
    if (!t.wait_until([&] { return current_line(t).first > 0; })) return false;
    auto now = current_line(t);
    if (now.second.find(text) != std::string::npos) return true;
    t.press(way);
    if (t.wait_until([&] { return current_line(t) != now && current_line(t).first > 0; },
                     stuck_ms))
      continue;
    if (way == Key::Up) return false;
    way = Key::Up;
  }
  return false;
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

// Highlights the line holding text, chooses it with Enter and waits for the
// list titled next_title with next_text on it.
inline bool choose(Terminal &t, const std::string &text, const std::string &next_title,
                   const std::string &next_text = "") {
  if (!move_to(t, text)) return false;
  t.press(Key::Enter);
  return Installed::drawn(t, next_title) && t.wait_for(next_text) && settled(t);
}

// Answers the SB16's dialogs with its factory defaults (port 220, IRQ 5,
// DMA 1 and 5, then 330 for its MIDI part), from the first until the main
// menu is drawn.
inline bool sb16_defaults(Terminal &t) {
  return Installed::drawn(t, "Select I/O port for Sound Blaster 16") &&
         choose(t, "220 - May be free (not sure)", "Select IRQ for") &&
         choose(t, " 5 - May be free (not sure)", "Select DMA for") &&
         choose(t, "1  - free", "Select DMA for", "16-bit DMA channel.") &&
         choose(t, "5  - free", "Select I/O port for") &&
         choose(t, "330 - May be free (not sure)", kMenu);
}

// From the main menu: the options editor, then the value prompt of the
// unset option name, settled.
inline bool edit_option(Terminal &t, const std::string &name) {
  if (!choose(t, "Configuration options (etc/options.cfg)", "Kelvane - Config options") ||
      !move_to(t, name + " (not set)"))
    return false;
  t.press(Key::Enter);
  return t.wait_for("Enter value for " + name + "=") && settled(t);
}

inline bool on_screen(const Terminal &t, const std::string &text) {
  return t.screen().find(text) != std::string::npos;
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

}  // namespace kvltest
