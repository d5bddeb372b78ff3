// Feeds arbitrary bytes to the readers of etc/modules.lis and etc/modules.dep
// (the input up to its first NUL byte is the former, the rest the latter),
// then orders the module of every listed driver after its dependencies.
#include "cardcfg/modules.h"
#include "common/common.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const char *text = reinterpret_cast<const char *>(data);
  const void *nul = std::memchr(data, '\0', size);
  size_t lis_size = nul ? static_cast<size_t>(static_cast<const uint8_t *>(nul) - data) : size;
  size_t dep_start = nul ? lis_size + 1 : size;

  kvl::g_core = kvl::CoreState{};
  kvl::g_drivers = kvl::DriverTable{};
  kvl::g_module_deps = kvl::ModuleDepTable{};
  kvl::g_modules = kvl::ModuleList{};

  std::istringstream lis(std::string(text, lis_size));
  std::istringstream dep(std::string(text + dep_start, size - dep_start));
  if (kvl::load_modules_lis(lis) < 0) return 0;
  if (kvl::load_modules_dep(dep) < 0) return 0;
  for (int i = 0; i < kvl::g_drivers.count; i++)
    if (kvl::add_module(kvl::module_of_driver(kvl::g_drivers.names[i])) < 0) break;
  // The load list never names a module twice.
  const kvl::ModuleList &m = kvl::g_modules;
  for (int i = 0; i < m.count; i++)
    for (int j = i + 1; j < m.count; j++)
      if (std::strcmp(m.names[i], m.names[j]) == 0) std::abort();
  return 0;
}
