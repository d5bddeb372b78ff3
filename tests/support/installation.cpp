#include "installation.h"

#include <filesystem>

namespace kvltest {

namespace fs = std::filesystem;

Layout package_layout(const std::vector<std::string> &shipped) {
  return {.folders = {"logs", "docs"},
          .programs = {"audcore", "audstart", "audstop", "kvlsim", "kvltest", "kvlupdate", "kvlconf.sh",
                       "kvlcfg"},
          .built_etc = true,
          .shipped = shipped,
          .named = true};
}

std::string shipped_file(const std::string &rel) {
  std::string from = rel.rfind("etc/", 0) == 0 ? "data/" + rel : rel;
  return std::string(KVL_SOURCE_DIR) + "/" + from;
}

Installation::Installation(const std::string &machine_json, const std::string &folder,
                           const Layout &layout)
    : machine(machine_json), dir(folder.empty() ? top.path() : top / folder) {
  fs::create_directories(dir);
  lay_out(layout);
}

void Installation::lay_out(const Layout &layout) const {
  for (const auto &f : layout.folders) fs::create_directories(path(f));
  link(layout.programs);
  if (layout.built_etc) {
    fs::create_directories(path("etc"));
    for (const auto &e : fs::directory_iterator(std::string(KVL_DATA_DIR) + "/etc"))
      fs::copy_file(e.path(), path("etc/" + e.path().filename().string()));
  }
  for (const auto &rel : layout.shipped) {
    fs::create_directories(fs::path(path(rel)).parent_path());
    fs::copy_file(shipped_file(rel), path(rel));
  }
  if (layout.named) write_kvl_conf("KVLLIBDIR=" + dir + "\n");
}

void Installation::link(const std::vector<std::string> &programs) const {
  if (!programs.empty()) fs::create_directories(path("bin"));
  for (const auto &p : programs) fs::create_symlink(bin(p), path("bin/" + p));
}

void Installation::write_kvl_conf(const std::string &text) const {
  write_file(machine.root() + "/etc/kvl.conf", text);
}

std::vector<std::string> Installation::env(const std::vector<std::string> &extra) const {
  std::vector<std::string> all = {machine.env()};
  all.insert(all.end(), extra.begin(), extra.end());
  return all;
}

RunResult Installation::run(const std::vector<std::string> &argv, const std::vector<std::string> &extra_env,
                            const std::string &input) const {
  return kvltest::run(argv, env(extra_env), input);
}

RunResult Installation::audcore(const std::string &word, const std::string &input,
                                const std::vector<std::string> &extra_env) const {
  return run({bin("audcore"), word, dir}, extra_env, input);
}

RunResult Installation::tool(const std::string &name, const std::vector<std::string> &extra_env) const {
  return run({path("bin/" + name)}, extra_env);
}

}  // namespace kvltest
