// Helpers for the screen tests: the dialog demo program on a terminal.
#pragma once

#include <string>
#include <vector>

#include "support.h"
#include "termharness.h"

namespace kvltest {

// argv for "tuidemo ARGS...".
inline std::vector<std::string> tuidemo(const std::vector<std::string> &args) {
  std::vector<std::string> argv = {bin("tuidemo")};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// Starts tuidemo with args and waits until its first full-screen list is drawn:
// the bottom-right corner, then the cursor moved up onto the list or a button
// (keys sent before would meet a terminal in line mode).
inline bool start_demo(Terminal &t, const std::vector<std::string> &args) {
  int last = t.rows() - 1;
  return t.start(tuidemo(args)) &&
         t.wait_until([&] { return t.cell(last, t.cols() - 1).ch == "┘" && t.cursor().row < last; });
}

// Same for a dialog that is not full-screen: waits until text appears.
inline bool start_demo_showing(Terminal &t, const std::vector<std::string> &args,
                               const std::string &text) {
  return t.start(tuidemo(args)) && t.wait_for(text);
}

// Column of text in row r of t (a Terminal or a TmuxTerminal), or -1.
template <class Term>
int column_of(const Term &t, int r, const std::string &text) {
  std::string row = t.row(r);
  size_t at = row.find(text);
  if (at == std::string::npos) return -1;
  // Columns, not bytes: box characters before text take three bytes each.
  int col = 0;
  for (size_t i = 0; i < at; i++)
    if ((static_cast<unsigned char>(row[i]) & 0xc0) != 0x80) col++;
  return col;
}

}  // namespace kvltest
