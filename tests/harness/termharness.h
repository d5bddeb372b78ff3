// Terminal test harness: runs a real program on a pseudo-terminal, types keys
// into it and reads its screen through a terminal emulator (libvterm). For the
// dim attribute, which libvterm does not keep, TmuxTerminal runs the program
// inside a private tmux server and reads the pane with its escapes.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

struct VTerm;
struct VTermScreen;

namespace kvltest {

// Every wait gives up after this many milliseconds unless told otherwise.
constexpr int WAIT_MS = 5000;

enum class Key { Escape, Tab, Enter, Up, Down, Left, Right, PageUp, PageDown, Home, End,
                 Backspace, Delete, CtrlC };

// The bytes the terminal sends for k in keypad mode (Backspace sends DEL, 127).
std::string key_bytes(Key k);

struct Cell {
  std::string ch;  // the character as UTF-8 (" " for an empty cell); line
                   // drawing comes out as box characters, e.g. "┌" "─" "├"
  bool bold = false;
  bool reverse = false;
  bool dim = false;  // filled by TmuxTerminal only
};

struct Pos {
  int row;
  int col;
  bool operator==(const Pos &) const = default;
};

// A program on a pseudo-terminal of rows x cols with TERM=xterm-xfree86 (an
// xterm description without the repeat-character sequence, which libvterm
// does not know), LC_ALL=C and ESCDELAY=25 (so that a lone Escape is taken
// within 25 ms); LINES and COLUMNS are removed so that curses takes the size
// from the terminal. The program is killed when the object goes.
class Terminal {
 public:
  explicit Terminal(int rows = 24, int cols = 80);
  ~Terminal();
  Terminal(const Terminal &) = delete;
  Terminal &operator=(const Terminal &) = delete;

  // Starts argv[0] (a path) with argv; env entries "NAME=value" are added,
  // "NAME=" removes NAME. Returns false when the program cannot be started.
  bool start(const std::vector<std::string> &argv, const std::vector<std::string> &env = {});
  // Before start: the program's standard error goes to the file at path
  // (created or truncated) instead of the terminal.
  void stderr_to(const std::string &path) { stderr_path_ = path; }

  void send(const std::string &bytes);  // raw bytes, as typed
  void press(Key k, int times = 1);
  void type(const std::string &text);
  // Gives the terminal a new size, as a window resized by its user: the
  // emulator's screen changes size and the program gets SIGWINCH. Output
  // already sent is read at the old size first.
  void resize(int rows, int cols);
  // Sends signal sig to the program, as kill(1) would.
  void signal(int sig);

  // Each wait reads the program's output until the condition holds (true) or
  // timeout_ms pass or the program ends without it holding (false).
  bool wait_until(const std::function<bool()> &done, int timeout_ms = WAIT_MS);
  bool wait_for(const std::string &text, int timeout_ms = WAIT_MS);  // anywhere on screen
  bool wait_for_bells(int count, int timeout_ms = WAIT_MS);          // bells() >= count
  bool wait_for_flashes(int count, int timeout_ms = WAIT_MS);        // flashes() >= count
  // Waits for the program to end; false on timeout.
  bool wait_exit(int timeout_ms = WAIT_MS);

  int exit_status() const;  // 0..255, 128 + signal, or -1 while running
  bool running() const;

  std::string row(int r) const;  // text of row r, trailing blanks removed
  std::string screen() const;    // all rows joined with "\n" (for failure messages)
  // Every cell with its bold and reverse marks and the cursor: equal only
  // for screens that look the same.
  std::string snapshot() const;
  bool contains(const std::string &text) const;
  Cell cell(int r, int c) const;
  Pos cursor() const;
  int bells() const { return events_.bells; }
  int flashes() const { return events_.flashes; }  // times the screen went to reverse video
  int rows() const { return rows_; }
  int cols() const { return cols_; }

 private:
  bool pump(int timeout_ms);  // reads output for up to timeout_ms; false at end of output
  void reap(bool block);

  struct Events {  // counted by the emulator's callbacks
    int bells = 0;
    int flashes = 0;
    bool reversed = false;
  };

  int rows_, cols_;
  VTerm *vt_ = nullptr;
  VTermScreen *vs_ = nullptr;
  int master_ = -1;
  pid_t pid_ = -1;
  int status_ = -1;
  bool eof_ = false;
  Events events_;
  std::string stderr_path_;
};

// A program in a pane of rows x cols of a private tmux server (its own socket
// in a temporary folder, no status line, no user configuration). Slower than
// Terminal; use it where the dim attribute matters. TERM is tmux's own. The
// server ends with the object, or by itself when the program ends (the pane
// can no longer be read then).
class TmuxTerminal {
 public:
  explicit TmuxTerminal(int rows = 24, int cols = 80);
  ~TmuxTerminal();
  TmuxTerminal(const TmuxTerminal &) = delete;
  TmuxTerminal &operator=(const TmuxTerminal &) = delete;

  bool start(const std::vector<std::string> &argv, const std::vector<std::string> &env = {});
  void send(const std::string &bytes);
  void press(Key k, int times = 1);
  void type(const std::string &text);

  // Captures the pane until done() holds or text appears; false after timeout_ms.
  bool wait_until(const std::function<bool()> &done, int timeout_ms = WAIT_MS);
  bool wait_for(const std::string &text, int timeout_ms = WAIT_MS);

  // The last capture (taken by wait_for or capture()).
  void capture();
  std::string row(int r) const;
  Cell cell(int r, int c) const;  // with bold, dim and reverse
  int rows() const { return rows_; }
  int cols() const { return cols_; }

 private:
  std::string tmux(const std::vector<std::string> &args, int *status = nullptr) const;

  int rows_, cols_;
  std::string dir_;
  std::string socket_;
  bool started_ = false;
  std::vector<std::vector<Cell>> cells_;
};

}  // namespace kvltest
