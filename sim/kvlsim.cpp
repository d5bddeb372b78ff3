// kvlsim: creates and inspects simulated machines for the driver simulator.
#include "admin.h"
#include "common/common.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/program_info.h"

namespace {

const char USAGE[] =
    "Usage: kvlsim init DIR [MACHINE.json] [--kvllibdir PATH]\n"
    "       kvlsim load DIR | unload DIR | state DIR | journal DIR | devices DIR\n"
    "       kvlsim fault DIR REQUEST ERRNO [NTH]\n"
    "       kvlsim fault DIR --open PATH ERRNO [NTH]\n"
    "       kvlsim mknod DIR PATH MAJOR MINOR MODE\n"
    "       kvlsim addcard DIR DRIVER [PORT [IRQ [DMA1 [DMA2]]]]\n"
    "       kvlsim activate DIR\n"
    "       kvlsim --help | --version\n";

void usage() { std::fputs(USAGE, stderr); }

std::string arg(const std::vector<std::string> &a, size_t i) { return i < a.size() ? a[i] : ""; }

int run(const std::string &cmd, const std::string &dir, std::vector<std::string> a) {
  if (cmd == "init") {
    std::string libdir = "/usr/lib/kvl";
    const char *machine = nullptr;
    for (size_t i = 0; i < a.size(); i++) {
      if (a[i] == "--kvllibdir" && i + 1 < a.size()) libdir = a[++i];
      else if (!machine && a[i].rfind("--", 0) != 0) machine = a[i].c_str();
      else return -1;
    }
    return kvl::admin_init(dir, machine, libdir);
  }
  if (cmd == "fault") {
    if (!a.empty() && a[0] == "--open") {
      if (a.size() < 3 || a.size() > 4) return -1;
      return kvl::admin_fault(dir, "", a[1], a[2], arg(a, 3));
    }
    if (a.size() < 2 || a.size() > 3) return -1;
    return kvl::admin_fault(dir, a[0], "", a[1], arg(a, 2));
  }
  if (cmd == "mknod") {
    if (a.size() != 4) return -1;
    return kvl::admin_mknod(dir, a[0], a[1], a[2], a[3]);
  }
  if (cmd == "addcard") {
    if (a.empty() || a.size() > 5) return -1;
    return kvl::admin_addcard(dir, a[0], arg(a, 1), arg(a, 2), arg(a, 3), arg(a, 4));
  }
  if (!a.empty()) return -1;
  if (cmd == "load") return kvl::admin_load(dir);
  if (cmd == "unload") return kvl::admin_unload(dir);
  if (cmd == "activate") return kvl::admin_activate(dir);
  if (cmd == "state") return kvl::admin_state(dir);
  if (cmd == "journal") return kvl::admin_journal(dir);
  if (cmd == "devices") return kvl::admin_devices(dir);
  return -1;
}

}  // namespace

int main(int argc, char **argv) {
  if (kvl::open_standard_descriptors() < 0) return 1;
  if (argc > 1 && kvl::print_program_info(argv[1], "kvlsim", USAGE)) return 0;
  if (argc < 3) {
    usage();
    return 2;
  }
  std::string dir = argv[2];
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  int rc = run(argv[1], dir, std::vector<std::string>(argv + 3, argv + argc));
  if (rc < 0) {
    usage();
    return 2;
  }
  return rc;
}
