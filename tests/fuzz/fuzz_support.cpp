#include "fuzz_support.h"

#include "common/common.h"
#include "sys/sys.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kvlfuzz {

namespace {

std::string g_dir;

void remove_dir() {
  std::error_code ec;
  std::filesystem::remove_all(g_dir, ec);
}

}  // namespace

const char *install_dir() {
  if (g_dir.empty()) {
    std::string tmpl = std::filesystem::temp_directory_path() / "kvlfuzz.XXXXXX";
    if (!mkdtemp(tmpl.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    g_dir = tmpl;
    std::filesystem::create_directory(g_dir + "/etc");
    std::atexit(remove_dir);
  }
  return g_dir.c_str();
}

void put_file(const char *rel, const uint8_t *data, size_t size) {
  std::string path = std::string(install_dir()) + "/" + rel;
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
}

void run_start_reader(const char *rel, const uint8_t *data, size_t size, void (*reader)()) {
  put_file(rel, data, size);
  kvl::g_core = kvl::CoreState{};
  kvl::g_core.install_dir = install_dir();
  kvl::g_core.control_fd = FAKE_CONTROL_FD;
  reader();
}

}  // namespace kvlfuzz

// The fake driver: replaces the system seam, so no target ever reaches a
// real device or runs sync.
namespace kvl {

int sys_ioctl(int fd, unsigned long, void *) {
  if (fd == kvlfuzz::FAKE_CONTROL_FD) return 0;
  errno = EBADF;
  return -1;
}

void sys_sync() {}

}  // namespace kvl
