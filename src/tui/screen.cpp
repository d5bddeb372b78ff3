// Start and end of the text screen, and the ways a program ends while it is
// up: tui_fatal, exit and the signals that end a program.
#include <curses.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "tui/held_stderr.h"
#include "tui/resize_signal.h"
#include "tui/tui.h"

namespace kvl {

namespace {

int g_active = 0;
SCREEN *g_screen = nullptr;  // kept after the end, so that the screen can start again

// The signals a program is ended by while an administrator looks at it.
constexpr int ENDING_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
struct sigaction g_previous[sizeof ENDING_SIGNALS / sizeof ENDING_SIGNALS[0]];

// The terminal back in line mode and the held lines out, without the pause
// of an orderly end.
void end_at_once() {
  if (g_active) {
    g_active = 0;
    endwin();
  }
  release_stderr();
}

void on_ending_signal(int sig) {
  end_at_once();
  signal(sig, SIG_DFL);
  raise(sig);  // ends the program as the signal would have
}

void at_exit() { end_at_once(); }

void catch_ending_signals() {
  struct sigaction sa = {};
  sa.sa_handler = on_ending_signal;
  sigemptyset(&sa.sa_mask);
  for (size_t i = 0; i < sizeof ENDING_SIGNALS / sizeof ENDING_SIGNALS[0]; i++)
    sigaction(ENDING_SIGNALS[i], &sa, &g_previous[i]);
}

void restore_ending_signals() {
  for (size_t i = 0; i < sizeof ENDING_SIGNALS / sizeof ENDING_SIGNALS[0]; i++)
    sigaction(ENDING_SIGNALS[i], &g_previous[i], nullptr);
}

}  // namespace

int tui_start() {
  if (g_active) return 0;
  if (!g_screen) {
    // newterm rather than initscr: an unknown terminal is an error to report,
    // not a message and an exit inside curses.
    catch_resize_signal();  // first: curses then leaves the signal alone
    g_screen = newterm(nullptr, stdout, stdin);
    if (!g_screen) return -1;
    static bool registered = false;
    if (!registered) registered = std::atexit(at_exit) == 0;
  } else {
    set_term(g_screen);
    refresh();  // back from the end: curses takes the terminal again
  }
  cbreak();
  raw();  // Ctrl-C arrives as key 3 instead of a signal
  noecho();
  g_active = 1;
  catch_ending_signals();
  hold_stderr();
  return 0;
}

std::string tui_start_error() {
  const char *term = std::getenv("TERM");
  if (!term || !*term) return "Cannot start the text screen: TERM is not set";
  return std::string("Cannot start the text screen: unknown terminal type \"") + term + "\"";
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
  std::fflush(stderr);
  release_stderr();
  restore_ending_signals();
}

int tui_active() { return g_active; }

void tui_fatal(const std::string &text) {
  tui_end();
  if (!text.empty()) std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(nullptr);
  std::exit(255);
}

}  // namespace kvl

#if defined(__SANITIZE_ADDRESS__)
// curses keeps the terminal description it read for a newterm that fails, and
// no call gives it back: not a leak of this program's.
extern "C" const char *__lsan_default_suppressions() { return "leak:new_prescr\n"; }
#endif
