#include "common/text.h"
#include "cardcfg/modules.h"

#include <string_view>
#include <vector>

namespace kvl {

ModuleList g_modules;

namespace {

bool listed(std::string_view name) {
  for (int i = 0; i < g_modules.count; i++)
    if (field_text(g_modules.names[i]) == name) return true;
  return false;
}

const ModuleDep *deps_of(std::string_view module) {
  for (int i = 0; i < g_module_deps.count; i++)
    if (field_text(g_module_deps.entries[i].name) == module) return &g_module_deps.entries[i];
  return nullptr;
}

// path: the modules whose dependencies are being added; meeting one of them
// again is a cycle, which is cut there.
int add_after_deps(std::string_view module, std::vector<std::string_view> &path) {
  std::string_view stored = module.substr(0, MODULE_NAME_SIZE - 1);
  if (module.empty() || listed(stored)) return 0;
  for (std::string_view on_path : path)
    if (on_path == module) return 0;
  if (const ModuleDep *dep = deps_of(module)) {
    path.push_back(module);
    for (int k = 0; k < dep->count; k++)
      if (add_after_deps(field_text(dep->required[k]), path) < 0) return -1;
    path.pop_back();
  }
  if (g_modules.count >= MAX_MODULES) return -1;
  copy_field(g_modules.names[g_modules.count++], stored);
  return 0;
}

}  // namespace

int add_module(std::string_view module) {
  std::vector<std::string_view> path;
  return add_after_deps(module, path);
}

}  // namespace kvl
