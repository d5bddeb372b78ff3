// TmuxTerminal: a program in a private tmux server, read back with
// "capture-pane -e" so that dim can be seen.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "termharness.h"

namespace kvltest {

namespace {

constexpr const char *SESSION = "kvl";

// Bytes of one UTF-8 character starting with lead.
int utf8_length(unsigned char lead) {
  if (lead < 0xc0) return 1;
  if (lead < 0xe0) return 2;
  if (lead < 0xf0) return 3;
  return 4;
}

struct Pen {
  bool bold = false, dim = false, reverse = false;
  bool line_drawing = false;  // between shift out (SO) and shift in (SI)
};

// The box character a line-drawing letter stands for, as Terminal shows it.
std::string line_char(char c) {
  switch (c) {
    case 'l': return "┌";
    case 'k': return "┐";
    case 'm': return "└";
    case 'j': return "┘";
    case 'q': return "─";
    case 'x': return "│";
    case 't': return "├";
    case 'u': return "┤";
    case 'w': return "┬";
    case 'v': return "┴";
    case 'n': return "┼";
    default: return std::string(1, c);
  }
}

void apply_sgr(Pen &pen, const std::string &params) {
  if (params.empty()) {
    pen.bold = pen.dim = pen.reverse = false;
    return;
  }
  size_t at = 0;
  while (at <= params.size()) {
    size_t end = params.find_first_of(";:", at);
    if (end == std::string::npos) end = params.size();
    int code = std::atoi(params.substr(at, end - at).c_str());
    switch (code) {
      case 0: pen.bold = pen.dim = pen.reverse = false; break;
      case 1: pen.bold = true; break;
      case 2: pen.dim = true; break;
      case 7: pen.reverse = true; break;
      case 22: pen.bold = pen.dim = false; break;
      case 27: pen.reverse = false; break;
      default: break;
    }
    at = end + 1;
  }
}

// One captured line with its escapes into cells.
std::vector<Cell> parse_line(const std::string &line, Pen &pen) {
  std::vector<Cell> cells;
  for (size_t i = 0; i < line.size();) {
    if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
      size_t end = i + 2;  // parameters and intermediates, then the final byte
      while (end < line.size() && (line[end] < 0x40 || line[end] > 0x7e)) end++;
      if (end >= line.size()) break;
      if (line[end] == 'm') apply_sgr(pen, line.substr(i + 2, end - i - 2));
      i = end + 1;
      continue;
    }
    if (line[i] == '\x1b') {  // charset selection and the like: two or three bytes
      i += (i + 1 < line.size() && std::strchr("()", line[i + 1])) ? 3 : 2;
      continue;
    }
    if (static_cast<unsigned char>(line[i]) < 0x20) {
      if (line[i] == '\x0e') pen.line_drawing = true;
      if (line[i] == '\x0f') pen.line_drawing = false;
      i++;
      continue;
    }
    int len = utf8_length(static_cast<unsigned char>(line[i]));
    Cell c;
    c.ch = pen.line_drawing && len == 1 ? line_char(line[i]) : line.substr(i, len);
    c.bold = pen.bold;
    c.dim = pen.dim;
    c.reverse = pen.reverse;
    cells.push_back(c);
    i += len;
  }
  return cells;
}

std::string run_capture(const std::vector<std::string> &argv, int *status) {
  int out[2];
  if (pipe(out)) return "";
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::vector<char *> a;
    for (const auto &s : argv) a.push_back(const_cast<char *>(s.c_str()));
    a.push_back(nullptr);
    execvp(a[0], a.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) text.append(buf, n);
  close(out[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  return text;
}

}  // namespace

TmuxTerminal::TmuxTerminal(int rows, int cols) : rows_(rows), cols_(cols) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kvltmux.XXXXXX").string();
  if (mkdtemp(tmpl.data())) dir_ = tmpl;
  socket_ = dir_ + "/socket";
  std::ofstream(dir_ + "/tmux.conf") << "set -g status off\n";
}

TmuxTerminal::~TmuxTerminal() {
  if (started_) tmux({"kill-server"});
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

std::string TmuxTerminal::tmux(const std::vector<std::string> &args, int *status) const {
  std::vector<std::string> argv = {"tmux", "-S", socket_, "-f", dir_ + "/tmux.conf"};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_capture(argv, status);
}

bool TmuxTerminal::start(const std::vector<std::string> &argv, const std::vector<std::string> &env) {
  if (dir_.empty() || started_ || argv.empty()) return false;
  std::vector<std::string> args = {"new-session", "-d", "-s", SESSION, "-x", std::to_string(cols_),
                                   "-y", std::to_string(rows_), "env", "-u", "LINES", "-u", "COLUMNS"};
  for (const auto &e : env)
    if (!e.empty() && e.back() == '=') args.insert(args.end(), {"-u", e.substr(0, e.size() - 1)});
  args.insert(args.end(), {"LC_ALL=C", "ESCDELAY=25"});
  for (const auto &e : env)
    if (!e.empty() && e.back() != '=') args.push_back(e);
  args.insert(args.end(), argv.begin(), argv.end());
  int status = -1;
  tmux(args, &status);
  started_ = status == 0;
  return started_;
}

void TmuxTerminal::send(const std::string &bytes) {
  std::vector<std::string> args = {"send-keys", "-t", SESSION, "-H"};
  for (unsigned char c : bytes) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", c);
    args.push_back(hex);
  }
  tmux(args);
}

void TmuxTerminal::press(Key k, int times) {
  std::string bytes;
  for (int i = 0; i < times; i++) bytes += key_bytes(k);
  send(bytes);
}

void TmuxTerminal::type(const std::string &text) { send(text); }

void TmuxTerminal::capture() {
  std::string text = tmux({"capture-pane", "-p", "-e", "-t", SESSION});
  cells_.clear();
  Pen pen;
  size_t at = 0;
  while (at < text.size()) {
    size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    cells_.push_back(parse_line(text.substr(at, nl - at), pen));
    at = nl + 1;
  }
}

bool TmuxTerminal::wait_until(const std::function<bool()> &done, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    capture();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // between captures
  }
}

bool TmuxTerminal::wait_for(const std::string &text, int timeout_ms) {
  return wait_until([&] {
    for (int r = 0; r < rows_; r++)
      if (row(r).find(text) != std::string::npos) return true;
    return false;
  }, timeout_ms);
}

Cell TmuxTerminal::cell(int r, int c) const {
  if (r >= 0 && r < static_cast<int>(cells_.size()) && c >= 0 && c < static_cast<int>(cells_[r].size()))
    return cells_[r][c];
  return Cell{std::string(1, ' ')};
}

std::string TmuxTerminal::row(int r) const {
  std::string text;
  if (r < 0 || r >= static_cast<int>(cells_.size())) return text;
  for (const Cell &c : cells_[r]) text += c.ch;
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace kvltest
