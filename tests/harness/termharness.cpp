// Terminal: a program on a pseudo-terminal, its screen kept by libvterm.
#include "termharness.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "child_env.h"
#include "support.h"

namespace kvltest {

namespace {

using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void append_utf8(std::string &out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xc0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xe0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  }
}

// Answers from the emulator (cursor reports and the like) go back to the program.
void to_program(const char *s, size_t len, void *user) {
  int fd = *static_cast<int *>(user);
  while (len > 0) {
    ssize_t n = write(fd, s, len);
    if (n <= 0) return;
    s += n;
    len -= n;
  }
}

}  // namespace

std::string key_bytes(Key k) {
  switch (k) {
    case Key::Escape: return "\x1b";
    case Key::Tab: return "\t";
    case Key::Enter: return "\r";
    case Key::Up: return "\x1bOA";
    case Key::Down: return "\x1bOB";
    case Key::Right: return "\x1bOC";
    case Key::Left: return "\x1bOD";
    case Key::PageUp: return "\x1b[5~";
    case Key::PageDown: return "\x1b[6~";
    case Key::Home: return "\x1bOH";
    case Key::End: return "\x1bOF";
    case Key::Backspace: return "\x7f";
    case Key::Delete: return "\x1b[3~";
    case Key::CtrlC: return "\x03";
  }
  return "";
}

Terminal::Terminal(int rows, int cols) : rows_(rows), cols_(cols) {
  vt_ = vterm_new(rows, cols);
  vterm_set_utf8(vt_, 1);
  vterm_output_set_callback(vt_, to_program, &master_);
  vs_ = vterm_obtain_screen(vt_);
  vterm_screen_enable_altscreen(vs_, 1);
  static VTermScreenCallbacks callbacks = {};
  callbacks.bell = [](void *user) {
    static_cast<Events *>(user)->bells++;
    return 1;
  };
  callbacks.settermprop = [](VTermProp prop, VTermValue *val, void *user) {
    auto *ev = static_cast<Events *>(user);
    if (prop == VTERM_PROP_REVERSE) {
      if (val->boolean && !ev->reversed) ev->flashes++;
      ev->reversed = val->boolean;
    }
    return 1;
  };
  vterm_screen_set_callbacks(vs_, &callbacks, &events_);
  vterm_screen_reset(vs_, 1);
}

Terminal::~Terminal() {
  if (pid_ > 0 && status_ == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
  vterm_free(vt_);
}

bool Terminal::start(const std::vector<std::string> &argv, const std::vector<std::string> &env) {
  if (pid_ > 0 || argv.empty()) return false;
  std::vector<std::string> envs = child_env(env);
  struct winsize ws = {};
  ws.ws_row = static_cast<unsigned short>(rows_);
  ws.ws_col = static_cast<unsigned short>(cols_);
  pid_ = forkpty(&master_, nullptr, nullptr, &ws);
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    if (!stderr_path_.empty()) {
      int fd = open(stderr_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd >= 0) dup2(fd, 2);
    }
    exec_program(argv, envs);
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  return true;
}

void Terminal::send(const std::string &bytes) { to_program(bytes.data(), bytes.size(), &master_); }

void Terminal::press(Key k, int times) {
  std::string bytes;
  for (int i = 0; i < times; i++) bytes += key_bytes(k);
  send(bytes);
}

void Terminal::type(const std::string &text) { send(text); }

void Terminal::resize(int rows, int cols) {
  pump(0);
  rows_ = rows;
  cols_ = cols;
  vterm_set_size(vt_, rows, cols);
  struct winsize ws = {};
  ws.ws_row = static_cast<unsigned short>(rows);
  ws.ws_col = static_cast<unsigned short>(cols);
  if (master_ >= 0) ioctl(master_, TIOCSWINSZ, &ws);
}

bool Terminal::pump(int timeout_ms) {
  if (eof_ || master_ < 0) return false;
  struct pollfd p = {master_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return true;
  char buf[4096];
  for (;;) {
    ssize_t n = read(master_, buf, sizeof buf);
    if (n > 0) {
      vterm_input_write(vt_, buf, n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return true;
    eof_ = true;  // EIO: every holder of the terminal has closed it
    return false;
  }
}

bool Terminal::wait_until(const std::function<bool()> &done, int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (done()) return true;
    int left = ms_left(deadline);
    if (left == 0 || !pump(left)) return done();
  }
}

bool Terminal::wait_for(const std::string &text, int timeout_ms) {
  return wait_until([&] { return contains(text); }, timeout_ms);
}

bool Terminal::wait_for_bells(int count, int timeout_ms) {
  return wait_until([&] { return bells() >= count; }, timeout_ms);
}

bool Terminal::wait_for_flashes(int count, int timeout_ms) {
  return wait_until([&] { return flashes() >= count; }, timeout_ms);
}

void Terminal::reap(bool block) {
  if (pid_ <= 0 || status_ != -1) return;
  int st = 0;
  if (waitpid(pid_, &st, block ? 0 : WNOHANG) == pid_)
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

bool Terminal::wait_exit(int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!eof_) {
    int left = ms_left(deadline);
    if (left == 0) return false;
    pump(left);
  }
  // The terminal is closed; the process is about to be gone.
  for (;;) {
    reap(false);
    if (status_ != -1) return true;
    if (ms_left(deadline) == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int Terminal::exit_status() const { return status_; }

bool Terminal::running() const { return pid_ > 0 && status_ == -1; }

Cell Terminal::cell(int r, int c) const {
  Cell out;
  VTermScreenCell vc;
  if (r < 0 || r >= rows_ || c < 0 || c >= cols_ || !vterm_screen_get_cell(vs_, {r, c}, &vc)) {
    out.ch = " ";
    return out;
  }
  for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && vc.chars[i]; i++) append_utf8(out.ch, vc.chars[i]);
  if (out.ch.empty()) out.ch = " ";
  out.bold = vc.attrs.bold;
  out.reverse = vc.attrs.reverse;
  return out;
}

std::string Terminal::row(int r) const {
  std::string text;
  for (int c = 0; c < cols_; c++) text += cell(r, c).ch;
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string Terminal::screen() const {
  std::string text;
  for (int r = 0; r < rows_; r++) text += row(r) + "\n";
  return text;
}

void Terminal::signal(int sig) {
  if (running()) kill(pid_, sig);
}

std::string Terminal::snapshot() const {
  std::string text;
  for (int r = 0; r < rows_; r++) {
    for (int c = 0; c < cols_; c++) {
      Cell x = cell(r, c);
      text += x.ch;
      if (x.bold) text += "\x01";
      if (x.reverse) text += "\x02";
    }
    text += "\n";
  }
  Pos at = cursor();
  return text + "cursor " + std::to_string(at.row) + "," + std::to_string(at.col) + "\n";
}

bool Terminal::contains(const std::string &text) const {
  for (int r = 0; r < rows_; r++)
    if (row(r).find(text) != std::string::npos) return true;
  return false;
}

Pos Terminal::cursor() const {
  VTermPos pos;
  vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
  return {pos.row, pos.col};
}

}  // namespace kvltest
