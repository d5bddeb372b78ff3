#include "cardcfg/modules.h"

#include "cardcfg/model.h"

#include "common/text.h"
#include "common/common.h"

#include <cstdio>
#include <string>

namespace kvl {

namespace {

constexpr size_t LIST_LINE_MAX = 999;
constexpr const char CORE_MODULE[] = "audkern";

ModuleDep *find_dep(ModuleDepTable &deps, std::string_view module) {
  for (int i = 0; i < deps.count; i++)
    if (field_text(deps.entries[i].name) == module) return &deps.entries[i];
  return nullptr;
}

// The words of a modules.dep list: blanks separate, runs of blanks count as one.
template <typename Fn>
void for_each_listed(std::string_view list, Fn fn) {
  size_t i = 0;
  while (i < list.size()) {
    if (list[i] == ' ') { i++; continue; }
    size_t end = list.find(' ', i);
    if (end == std::string_view::npos) end = list.size();
    fn(list.substr(i, end - i));
    i = end;
  }
}

// A word of the lists: printable bytes, no blank.
bool is_word(std::string_view w) {
  if (w.empty()) return false;
  for (unsigned char c : w)
    if (c <= ' ' || c == 0x7f) return false;
  return true;
}

// "NAME MODULE": two words, one blank or tab between them.
bool is_lis_line(std::string_view line) {
  size_t cut = line.find_first_of(" \t");
  return cut != std::string_view::npos && is_word(line.substr(0, cut)) && is_word(line.substr(cut + 1));
}

// "MODULE [DEPS]": a word, blanks or tabs, then a bracketed list of words
// separated by blanks, and at most blanks after it.
bool is_dep_line(std::string_view line) {
  size_t end = line.find_first_of(" \t");
  if (end == std::string_view::npos || !is_word(line.substr(0, end))) return false;
  size_t open = line.find_first_not_of(" \t", end);
  if (open == std::string_view::npos || line[open] != '[') return false;
  size_t close = line.find(']', open);
  if (close == std::string_view::npos) return false;
  if (line.find_first_not_of(" \t", close + 1) != std::string_view::npos) return false;
  std::string_view list = line.substr(open + 1, close - open - 1);
  for (unsigned char c : list)
    if (c < ' ' || c == 0x7f || c == '[') return false;
  return true;
}

// "FILE: line N is not WHAT" for a line a list file should not hold; the
// line is still taken as the format reads it.
void report_line(std::string_view file, int number, const char *what) {
  std::fprintf(stderr, "%.*s: line %d is not %s\n", static_cast<int>(file.size()), file.data(), number,
               what);
}

}  // namespace

int load_modules_lis(DriverTable &drivers, std::string_view text, std::string_view file) {
  drivers.slots = 0;
  drivers.count = 0;
  std::string_view line;
  int number = 0;
  while (next_config_line(text, line, &number, LIST_LINE_MAX) != 0) {
    if (!line.empty() && !is_lis_line(line)) report_line(file, number, "\"NAME MODULE\"");
    if (drivers.count >= MAX_DRIVER_NAMES) {
      std::printf("Too many drivers\n");
      std::fflush(stdout);
      std::fprintf(stderr, "Too many drivers\n");
      return -1;
    }
    size_t cut = line.find_first_of(" \t");
    int row = drivers.count++;
    drivers.names[row] = line.substr(0, cut);
    drivers.texts[row] = cut == std::string_view::npos ? "" : line.substr(cut + 1);
    drivers.slots = drivers.count;
  }
  return 0;
}

int read_modules_lis(ConfigModel &model) {
  std::string text;
  if (read_install_file(model.install_dir, "etc/modules.lis", text, false) < 0) return -1;
  return load_modules_lis(model.drivers, text, kvl_path(model.install_dir, "etc/modules.lis"));
}

int add_module_dependency(ModuleDepTable &deps, std::string_view module,
                          std::string_view required) {
  if (module == CORE_MODULE || required == CORE_MODULE) return 0;
  ModuleDep *dep = find_dep(deps, module.substr(0, DEP_NAME_SIZE - 1));
  if (!dep) {
    if (deps.count >= MAX_DEP_ENTRIES) {
      std::fprintf(stderr, "audcore: Too many modules loaded\n");
      return -1;
    }
    dep = &deps.entries[deps.count++];
    copy_field(dep->name, module);
    dep->count = 0;
  }
  if (dep->count >= MAX_DEP_REQUIRED) {
    std::fprintf(stderr, "Error: too many modules loaded\n");
    return -1;
  }
  copy_field(dep->required[dep->count++], required);
  return 0;
}

int load_modules_dep(ModuleDepTable &deps, std::string_view text_in, int verbosity,
                     std::string_view file) {
  std::string_view rest = text_in, line;
  int number = 0;
  while (next_config_line(rest, line, &number, LIST_LINE_MAX) != 0) {
    if (!line.empty() && !is_dep_line(line)) report_line(file, number, "\"MODULE [DEPS]\"");
    std::string_view text = line;
    size_t end = text.find_first_of(" \t");
    std::string_view module = text.substr(0, end);
    if (module.empty() || end == std::string_view::npos) continue;
    size_t open = text.find('[', end);
    if (open == std::string_view::npos) continue;
    std::string_view list = text.substr(open + 1);
    list = list.substr(0, list.find(']'));
    int rc = 0;
    for_each_listed(list, [&](std::string_view needer) {
      if (rc == 0) rc = add_module_dependency(deps, needer, module);
    });
    if (rc < 0) return -1;
  }
  if (verbosity >= 7) {
    for (int i = 0; i < deps.count; i++) {
      const ModuleDep &dep = deps.entries[i];
      std::fprintf(stderr, "Module: %s requires ", dep.name);
      for (int k = 0; k < dep.count; k++)
        std::fprintf(stderr, "%s%s", k ? "," : "", dep.required[k]);
      std::fprintf(stderr, "\n");
    }
  }
  return 0;
}

int read_modules_dep(ConfigModel &model) {
  std::string text;
  if (read_install_file(model.install_dir, "etc/modules.dep", text, false) < 0) return -1;
  return load_modules_dep(model.module_deps, text, model.verbosity,
                          kvl_path(model.install_dir, "etc/modules.dep"));
}

std::string_view module_of_driver(const DriverTable &drivers, std::string_view driver) {
  for (int i = 0; i < drivers.count && i < MAX_DRIVER_NAMES; i++)
    if (drivers.names[i] == driver) return drivers.texts[i];
  return {};
}

}  // namespace kvl
