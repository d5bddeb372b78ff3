#include "support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char **environ;

namespace kvltest {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kvltest.XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> environment_with(const std::vector<std::string> &entries) {
  std::vector<std::string> env;
  for (char **e = environ; *e; e++) env.emplace_back(*e);
  for (const auto &x : entries) {
    auto eq = x.find('=');
    std::string prefix = x.substr(0, eq) + "=";
    std::erase_if(env, [&](const std::string &s) { return s.compare(0, prefix.size(), prefix) == 0; });
    if (eq != std::string::npos && eq + 1 < x.size()) env.push_back(x);
  }
  return env;
}

void exec_program(const std::vector<std::string> &argv, const std::vector<std::string> &env) {
  std::vector<char *> a, e;
  for (const auto &s : argv) a.push_back(const_cast<char *>(s.c_str()));
  a.push_back(nullptr);
  for (const auto &s : env) e.push_back(const_cast<char *>(s.c_str()));
  e.push_back(nullptr);
  signal(SIGPIPE, SIG_DFL);  // the test process ignores it; the program must not inherit that
  execve(a[0], a.data(), e.data());
  std::fprintf(stderr, "exec %s: %s\n", a[0], std::strerror(errno));
  _exit(127);
}

RunResult run(const std::vector<std::string> &argv, const std::vector<std::string> &env,
              const std::string &stdin_text) {
  RunResult r;
  // A program that ends before reading all its input must not kill the test
  // with SIGPIPE: the write then fails with EPIPE and input simply stops.
  signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) return r;
  std::vector<std::string> envs = environment_with(env);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    exec_program(argv, envs);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  fcntl(in[1], F_SETFL, O_NONBLOCK);
  size_t sent = 0;
  if (stdin_text.empty()) { close(in[1]); in[1] = -1; }
  bool out_open = true, err_open = true;
  while (out_open || err_open || in[1] >= 0) {
    struct pollfd p[3];
    int n = 0;
    if (out_open) p[n++] = {out[0], POLLIN, 0};
    if (err_open) p[n++] = {err[0], POLLIN, 0};
    if (in[1] >= 0) p[n++] = {in[1], POLLOUT, 0};
    if (poll(p, n, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < n; i++) {
      if (!p[i].revents) continue;
      if (p[i].fd == in[1]) {
        ssize_t w = write(in[1], stdin_text.data() + sent, stdin_text.size() - sent);
        if (w > 0) sent += w;
        if (w < 0 || sent == stdin_text.size()) { close(in[1]); in[1] = -1; }
        continue;
      }
      char buf[4096];
      ssize_t k = read(p[i].fd, buf, sizeof buf);
      if (k <= 0) {
        if (p[i].fd == out[0]) out_open = false; else err_open = false;
      } else {
        (p[i].fd == out[0] ? r.out : r.err).append(buf, k);
      }
    }
  }
  close(out[0]);
  close(err[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  return r;
}

std::string bin(const std::string &program) { return std::string(KVL_BIN_DIR) + "/" + program; }

std::string read_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void write_file(const std::string &path, const std::string &text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
}

bool file_exists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

const std::string &in_process_machine() {
  static TempDir dir;
  static const std::string path = dir / "machine";
  static const bool bound = (setenv("KVL_SIMROOT", path.c_str(), 1), true);
  (void)bound;
  return path;
}

SimMachine::SimMachine(const std::string &machine_json) {
  std::vector<std::string> args = {bin("kvlsim"), "init", root()};
  std::string mpath;
  if (!machine_json.empty()) {
    mpath = root() + ".machine.json";
    write_file(mpath, machine_json);
    args.push_back(mpath);
  }
  RunResult r = run(args);
  if (!mpath.empty()) std::filesystem::remove(mpath);
  EXPECT_EQ(r.status, 0) << "kvlsim init failed: " << r.err;
}

RunResult SimMachine::kvlsim(const std::string &cmd, const std::vector<std::string> &extra) const {
  std::vector<std::string> args = {bin("kvlsim"), cmd, root()};
  args.insert(args.end(), extra.begin(), extra.end());
  return run(args);
}

std::vector<nlohmann::json> journal_of(const std::string &root) {
  std::vector<nlohmann::json> v;
  std::ifstream f(root + "/journal.jsonl");
  std::string line;
  while (std::getline(f, line))
    if (!line.empty()) v.push_back(nlohmann::json::parse(line));
  return v;
}

std::vector<nlohmann::json> journal_requests(const std::string &root, const std::string &request,
                                             size_t from) {
  std::vector<nlohmann::json> v, j = journal_of(root);
  for (size_t i = from; i < j.size(); i++)
    if (j[i].value("request", "") == request) v.push_back(j[i]);
  return v;
}

std::vector<nlohmann::json> SimMachine::journal() const { return journal_of(root()); }

std::vector<std::string> SimMachine::request_names(size_t from) const {
  std::vector<std::string> out;
  auto j = journal();
  for (size_t i = from; i < j.size(); i++) out.push_back(j[i].value("request", ""));
  return out;
}

std::vector<nlohmann::json> SimMachine::requests(const std::string &request, size_t from) const {
  return journal_requests(root(), request, from);
}

}  // namespace kvltest
