// Feeds arbitrary bytes to the readers of etc/modules.lis and etc/modules.dep
// (the input up to its first NUL byte is the former, the rest the latter),
// then orders the module of every listed driver after its dependencies.
#include "cardcfg/model.h"
#include "cardcfg/modules.h"
#include "common/common.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const char *text = reinterpret_cast<const char *>(data);
  const void *nul = std::memchr(data, '\0', size);
  size_t lis_size = nul ? static_cast<size_t>(static_cast<const uint8_t *>(nul) - data) : size;
  size_t dep_start = nul ? lis_size + 1 : size;

  static kvl::ConfigModel *model = new kvl::ConfigModel;
  static kvl::ModuleList *list = new kvl::ModuleList;
  *model = kvl::ConfigModel{};
  *list = kvl::ModuleList{};

  if (kvl::load_modules_lis(model->drivers, std::string_view(text, lis_size)) < 0) return 0;
  if (kvl::load_modules_dep(model->module_deps, std::string_view(text + dep_start, size - dep_start),
                            0) < 0)
    return 0;
  for (int i = 0; i < model->drivers.count; i++)
    if (kvl::add_module(*list, model->module_deps,
                        kvl::module_of_driver(model->drivers, model->drivers.names[i])) < 0)
      break;
  // The load list never names a module twice.
  const kvl::ModuleList &m = *list;
  for (int i = 0; i < m.count; i++)
    for (int j = i + 1; j < m.count; j++)
      if (std::strcmp(m.names[i], m.names[j]) == 0) std::abort();
  return 0;
}
