// Writing generated files: atomically, and config.dat through the real
// `compress` command and the scrambler.
#include "tools/catalogue/catalogue.h"

#include "common/atomic_file.h"

#include "hwdb/hwdb_scramble.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

extern char **environ;

namespace kvl {
namespace {

std::string sys_error(const std::string &what) { return what + ": " + std::strerror(errno); }

// Runs "compress -b 16 -c" with in_path on standard input and out_path as
// standard output. Returns 0 or -1 with err.
int run_compress(const std::string &in_path, const std::string &out_path, std::string *err) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, in_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char *argv[] = {const_cast<char *>("compress"), const_cast<char *>("-b"),
                  const_cast<char *>("16"), const_cast<char *>("-c"), nullptr};
  pid_t pid;
  int rc = posix_spawnp(&pid, "compress", &fa, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) {
    *err = std::string("compress: ") + std::strerror(rc);
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  // Status 2 only says that the output is not smaller than the input; the
  // output is complete all the same.
  if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 2)) {
    *err = "compress failed";
    return -1;
  }
  return 0;
}

int read_whole(const std::string &path, std::string *out, std::string *err) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *err = sys_error(path);
    return -1;
  }
  char buf[65536];
  size_t n;
  out->clear();
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) {
    *err = path + ": read error";
    return -1;
  }
  return 0;
}

}  // namespace

int catalogue_add_help(const std::string &dir, Catalogue *cat, std::string *err) {
  std::error_code ec;
  for (const auto &e : std::filesystem::directory_iterator(dir, ec)) {
    std::string name = e.path().filename().string();
    if (name.rfind("README.", 0) != 0) continue;
    if (read_whole(e.path().string(), &cat->help[name], err) != 0) return -1;
  }
  if (ec) {
    *err = dir + ": " + ec.message();
    return -1;
  }
  return 0;
}

int write_file_atomic(const std::string &path, const std::string &data, std::string *err) {
  if (replace_file(path.c_str(), data, false) == 0) return 0;
  *err = sys_error(path);
  return -1;
}

int write_config_dat(const std::string &image, const std::string &path, std::string *err) {
  std::string raw = path + ".raw", z = path + ".Z";
  std::string packed;
  int rc = write_file_atomic(raw, image, err);
  if (rc == 0) rc = run_compress(raw, z, err);
  if (rc == 0) rc = read_whole(z, &packed, err);
  std::remove(raw.c_str());
  std::remove(z.c_str());
  if (rc != 0) return -1;
  HwdbScrambler s;
  hwdb_scrambler_init(&s, packed.size());
  hwdb_scramble(&s, reinterpret_cast<unsigned char *>(packed.data()), packed.size());
  return write_file_atomic(path, packed, err);
}

}  // namespace kvl
