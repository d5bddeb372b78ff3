// The driver and module lists: etc/modules.lis (driver name and module per
// line) into the driver table, etc/modules.dep (which modules need which) into
// the dependency table, and the list of modules to load that is written to
// etc/modules.cfg.
#pragma once

#include <string_view>

#include "common/common.h"

namespace kvl {

struct ConfigModel;

constexpr int MAX_DEP_ENTRIES = 59;
constexpr int MAX_DEP_REQUIRED = 60;
constexpr int DEP_NAME_SIZE = 60;      // 59 characters
constexpr int MAX_MODULES = 230;
constexpr int MODULE_NAME_SIZE = 30;   // 29 characters

// For each module, the modules that must be loaded before it, in file order.
struct ModuleDep {
  char name[DEP_NAME_SIZE];
  int count;
  char required[MAX_DEP_REQUIRED][DEP_NAME_SIZE];
};
struct ModuleDepTable {
  int count = 0;
  ModuleDep entries[MAX_DEP_ENTRIES] = {};
};

// Modules to load, in load order, without duplicates.
struct ModuleList {
  int count = 0;
  char names[MAX_MODULES][MODULE_NAME_SIZE] = {};
};

// Loads modules.lis text into drivers: one row per line (names, and texts =
// module names), slot count = rows. A line that is neither empty nor "NAME
// MODULE" (two words, one blank or tab between) is still loaded, and told
// on standard error as "FILE: line N is not "NAME MODULE"". Returns 0, or -1
// after printing "Too many drivers" on standard output and standard error.
int load_modules_lis(DriverTable &drivers, std::string_view text,
                     std::string_view file = "etc/modules.lis");
// Loads etc/modules.lis. Returns 0, or -1 after the message of a file that
// cannot be read or of too many rows.
int read_modules_lis(ConfigModel &model);

// Loads modules.dep text into the dependency table. A line that is neither
// empty nor "MODULE [DEPS]" is read as the format reads it and told on
// standard error as "FILE: line N is not "MODULE [DEPS]"". Returns 0, or -1
// after the message of add_module_dependency. With verbosity 7 prints the
// table.
int load_modules_dep(ModuleDepTable &deps, std::string_view text, int verbosity,
                     std::string_view file = "etc/modules.dep");
// Loads etc/modules.dep. Returns 0, or -1 after the message of a file that
// cannot be read or of a full table.
int read_modules_dep(ConfigModel &model);

// Records that module needs required loaded first; the core module
// "audkern" is never recorded. Returns 0, or -1 after printing the message
// of a full table on standard error.
int add_module_dependency(ModuleDepTable &deps, std::string_view module,
                          std::string_view required);

// The module holding a driver: the first modules.lis row named driver, or "".
std::string_view module_of_driver(const DriverTable &drivers, std::string_view driver);

// Appends module to list after every module it depends on in deps; an empty or
// listed name adds nothing, a dependency cycle is cut. Returns 0, or -1 when
// the list would exceed MAX_MODULES (nothing is printed).
int add_module(ModuleList &list, const ModuleDepTable &deps, std::string_view module);

}  // namespace kvl
