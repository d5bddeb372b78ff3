// kvlsim commands that show a machine: its state, its journal, its /dev.
#include "admin.h"
#include "sim.h"
#include "simdir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

namespace kvl {

namespace fs = std::filesystem;

namespace {

int print_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "kvlsim: %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  std::cout << f.rdbuf();
  std::cout.flush();
  return 0;
}

// How a link's target reads on the simulated machine: a relative target is
// resolved against the link's folder, a target inside the machine loses the
// machine's prefix; anything else stands as it is.
std::string link_target(const std::string &dir, const std::string &syspath, const std::string &target) {
  if (target.empty()) return target;
  if (target[0] != '/')
    return (fs::path(syspath).parent_path() / target).lexically_normal().string();
  std::string prefix = dir + "/";
  if (target.rfind(prefix, 0) == 0) return target.substr(dir.size());
  return target;
}

}  // namespace

// Prints a file of the machine under the shared lock, since the simulator
// rewrites state.json in place. A lock file that cannot be made (a read-only
// machine) is no reason not to print; a busy lock is.
int print_locked(const std::string &dir, const std::string &file) {
  SimLock lock(dir, true);
  if (!lock.held() && errno == EBUSY) {
    std::fprintf(stderr, "kvlsim: %s\n", lock_problem(dir, EBUSY).c_str());
    return 1;
  }
  return print_file(dir + file);
}

int admin_state(const std::string &dir) { return print_locked(dir, "/state.json"); }

int admin_journal(const std::string &dir) { return print_locked(dir, "/journal.jsonl"); }

int admin_devices(const std::string &dir) {
  std::string devdir = dir + "/dev";
  std::error_code ec;
  std::vector<std::string> paths;
  for (auto it = fs::recursive_directory_iterator(devdir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) continue;
    paths.push_back(it->path().string().substr(dir.size()));
  }
  if (ec) {
    std::fprintf(stderr, "kvlsim: %s: %s\n", devdir.c_str(), ec.message().c_str());
    return 1;
  }
  std::sort(paths.begin(), paths.end());
  for (const auto &p : paths) {
    std::string file = dir + p;
    struct stat st;
    if (lstat(file.c_str(), &st) < 0) continue;
    int major = 0, minor = 0;
    if (S_ISLNK(st.st_mode)) {
      std::vector<char> buf(static_cast<size_t>(st.st_size) + 256);
      ssize_t n = readlink(file.c_str(), buf.data(), buf.size() - 1);
      if (n < 0) continue;
      std::printf("%s -> %s\n", p.c_str(), link_target(dir, p, std::string(buf.data(), n)).c_str());
    } else if (node_read(file.c_str(), &major, &minor) == 0) {
      std::printf("%s c %04o %d %d\n", p.c_str(), static_cast<unsigned>(st.st_mode & 07777), major, minor);
    } else {
      std::printf("%s f %04o\n", p.c_str(), static_cast<unsigned>(st.st_mode & 07777));
    }
  }
  return 0;
}

}  // namespace kvl
