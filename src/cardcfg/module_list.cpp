#include "common/text.h"
#include "cardcfg/modules.h"

#include <string_view>
#include <vector>

namespace kvl {

namespace {

bool listed(const ModuleList &list, std::string_view name) {
  for (int i = 0; i < list.count; i++)
    if (field_text(list.names[i]) == name) return true;
  return false;
}

const ModuleDep *deps_of(const ModuleDepTable &deps, std::string_view module) {
  for (int i = 0; i < deps.count; i++)
    if (field_text(deps.entries[i].name) == module) return &deps.entries[i];
  return nullptr;
}

// path: the modules whose dependencies are being added; meeting one of them
// again is a cycle, which is cut there.
int add_after_deps(ModuleList &list, const ModuleDepTable &deps, std::string_view module,
                   std::vector<std::string_view> &path) {
  std::string_view stored = module.substr(0, MODULE_NAME_SIZE - 1);
  if (module.empty() || listed(list, stored)) return 0;
  for (std::string_view on_path : path)
    if (on_path == module) return 0;
  if (const ModuleDep *dep = deps_of(deps, module)) {
    path.push_back(module);
    for (int k = 0; k < dep->count; k++)
      if (add_after_deps(list, deps, field_text(dep->required[k]), path) < 0) return -1;
    path.pop_back();
  }
  if (list.count >= MAX_MODULES) return -1;
  copy_field(list.names[list.count++], stored);
  return 0;
}

}  // namespace

int add_module(ModuleList &list, const ModuleDepTable &deps, std::string_view module) {
  std::vector<std::string_view> path;
  return add_after_deps(list, deps, module, path);
}

}  // namespace kvl
