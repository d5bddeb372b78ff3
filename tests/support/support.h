// Helpers for end-to-end tests: temporary folders, running a built program
// with given arguments, environment and standard input, and simulated machines.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace kvltest {

// A fresh temporary folder, removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &path() const { return path_; }
  std::string operator/(const std::string &rel) const { return path_ + "/" + rel; }

 private:
  std::string path_;
};

struct RunResult {
  int status = -1;     // exit status 0..255, or 128 + signal number
  std::string out;     // standard output
  std::string err;     // standard error
};

// Runs argv[0] (a path) with argv, the current environment plus env entries
// ("NAME=value"; "NAME=" alone removes NAME), and stdin_text on standard input.
RunResult run(const std::vector<std::string> &argv, const std::vector<std::string> &env = {},
              const std::string &stdin_text = "");

// This process's environment with entries applied in order: "NAME=value"
// sets NAME, "NAME=" alone removes it.
std::vector<std::string> environment_with(const std::vector<std::string> &entries);

// In a forked child: runs argv[0] with argv and the environment env. Never
// returns; exits 127 with a message when the program cannot be run.
[[noreturn]] void exec_program(const std::vector<std::string> &argv,
                               const std::vector<std::string> &env);

// Path of a program built by this project ("audcore", "kvlsim", ...).
std::string bin(const std::string &program);

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &text);
bool file_exists(const std::string &path);

// For tests that call the OS seam in their own process: the folder of the one
// simulated machine this process's seam uses. The first call sets
// KVL_SIMROOT to it, which the seam reads once, so call it before any seam
// call (e.g. from a test fixture's SetUp).
const std::string &in_process_machine();

// The journal of the machine at root, one object per request, in order.
std::vector<nlohmann::json> journal_of(const std::string &root);
// The journal entries of the machine at root, from entry from on, whose
// "request" equals request.
std::vector<nlohmann::json> journal_requests(const std::string &root, const std::string &request,
                                             size_t from = 0);

// A simulated machine in a temporary folder: created with "kvlsim init"
// (the built-in demo machine when machine_json is empty).
class SimMachine {
 public:
  explicit SimMachine(const std::string &machine_json = "");
  const std::string &root() const { return dir_.path(); }
  // "KVL_SIMROOT=<root>" for run()'s environment.
  std::string env() const { return "KVL_SIMROOT=" + root(); }
  // Runs "kvlsim ARGS... ROOT"-style commands: kvlsim(cmd, extra) runs
  // kvlsim cmd ROOT extra...
  RunResult kvlsim(const std::string &cmd, const std::vector<std::string> &extra = {}) const;
  // The journal, one object per request, in order.
  std::vector<nlohmann::json> journal() const;
  // How many requests it holds: where the next one will stand.
  size_t journal_size() const { return journal().size(); }
  // The names of the requests from entry from on, in order.
  std::vector<std::string> request_names(size_t from = 0) const;
  // The entries from entry from on whose "request" equals request.
  std::vector<nlohmann::json> requests(const std::string &request, size_t from = 0) const;

 private:
  TempDir dir_;
};

}  // namespace kvltest
