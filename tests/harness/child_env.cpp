#include "child_env.h"

extern char **environ;

namespace kvltest {

namespace {

void apply(std::vector<std::string> &env, const std::string &entry) {
  auto eq = entry.find('=');
  std::string prefix = entry.substr(0, eq) + "=";
  std::erase_if(env, [&](const std::string &s) { return s.compare(0, prefix.size(), prefix) == 0; });
  if (eq != std::string::npos && eq + 1 < entry.size()) env.push_back(entry);
}

}  // namespace

std::vector<std::string> child_env(const std::vector<std::string> &extra) {
  std::vector<std::string> env;
  for (char **e = environ; *e; e++) env.emplace_back(*e);
  for (const char *entry : {"LINES=", "COLUMNS=", "TERM=xterm-xfree86", "LC_ALL=C", "ESCDELAY=25"})
    apply(env, entry);
  for (const auto &entry : extra) apply(env, entry);
  return env;
}

}  // namespace kvltest
