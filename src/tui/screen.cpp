// Start and end of the text screen.
#include <curses.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tui/tui.h"

namespace kvl {

namespace {
int g_active = 0;
}

int tui_start() {
  initscr();
  cbreak();
  raw();  // Ctrl-C arrives as key 3 instead of a signal
  noecho();
  g_active = 1;
  return 0;
}

void tui_end() {
  if (!g_active) return;
  g_active = 0;
  sleep(1);  // leaves the last screen readable for a moment
  nocbreak();
  noraw();
  endwin();
  std::putchar('\n');
  std::fflush(stdout);
}

int tui_active() { return g_active; }

void tui_fatal(const std::string &text) {
  tui_end();
  if (!text.empty()) std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(nullptr);
  std::exit(255);
}

}  // namespace kvl
