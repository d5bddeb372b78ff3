// kvl_mkcatalogue: generates the shipped files from the hardware catalogue.
//
//   kvl_mkcatalogue --out DIR [--help-dir DIR] [--template MACHINE.json] CATALOGUE.json...
//
// Writes DIR/etc/config.dat, DIR/etc/modules.lis, DIR/etc/modules.dep, every
// help text as DIR/docs/README.x and, with a template, DIR/demo_machine.json.
// Exit status 0, or 1 with the problems on standard error.
#include "tools/catalogue/catalogue.h"

#include "common/common.h"
#include "hwdb/hwdb_parse.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

int fail(const std::string &msg) {
  std::fprintf(stderr, "kvl_mkcatalogue: %s\n", msg.c_str());
  return 1;
}

bool slurp(const std::string &path, std::string *out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  *out = ss.str();
  return true;
}

struct Args {
  std::string out, help_dir, templ;
  std::vector<std::string> files;
};

int parse_args(int argc, char **argv, Args *a) {
  for (int i = 1; i < argc; i++) {
    std::string s = argv[i];
    std::string *opt = s == "--out" ? &a->out
                       : s == "--help-dir" ? &a->help_dir
                       : s == "--template" ? &a->templ
                                           : nullptr;
    if (opt) {
      if (++i == argc) return -1;
      *opt = argv[i];
    } else {
      a->files.push_back(s);
    }
  }
  return a->out.empty() || a->files.empty() ? -1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (kvl::open_standard_descriptors() < 0) return 1;
  Args a;
  if (parse_args(argc, argv, &a) != 0)
    return fail("usage: kvl_mkcatalogue --out DIR [--help-dir DIR] [--template FILE] FILE...");

  kvl::Catalogue cat;
  std::string err, text;
  for (const std::string &f : a.files) {
    if (!slurp(f, &text)) return fail("cannot read " + f);
    if (kvl::catalogue_add_json(text, f, &cat, &err) != 0) return fail(err);
  }
  if (!a.help_dir.empty() && kvl::catalogue_add_help(a.help_dir, &cat, &err) != 0)
    return fail(err);
  if (kvl::catalogue_check(cat, &err) != 0) return fail("the catalogue has problems:\n" + err);

  // The image must pass the loader's own checks before it is shipped.
  std::string image = kvl::catalogue_image(cat);
  kvl::HwdbModel model;
  if (kvl::hwdb_parse_bytes(image.data(), image.size(), "config.dat", &model, &err) != 0)
    return fail("generated database refused: " + err);
  kvl::hwdb_model_free(&model);

  std::error_code ec;
  fs::create_directories(a.out + "/etc", ec);
  fs::create_directories(a.out + "/docs", ec);
  if (ec) return fail(a.out + ": " + ec.message());
  if (kvl::write_config_dat(image, a.out + "/etc/config.dat", &err) != 0 ||
      kvl::write_file_atomic(a.out + "/etc/modules.lis", kvl::catalogue_modules_lis(cat), &err) ||
      kvl::write_file_atomic(a.out + "/etc/modules.dep", kvl::catalogue_modules_dep(cat), &err))
    return fail(err);
  for (const auto &h : cat.help)
    if (kvl::write_file_atomic(a.out + "/docs/" + h.first, h.second, &err) != 0) return fail(err);

  if (!a.templ.empty()) {
    if (!slurp(a.templ, &text)) return fail("cannot read " + a.templ);
    nlohmann::ordered_json t = nlohmann::ordered_json::parse(text, nullptr, false);
    if (t.is_discarded() || !t.is_object()) return fail(a.templ + ": not a JSON object");
    std::string machine = kvl::catalogue_demo_machine(cat, t).dump(2) + "\n";
    if (kvl::write_file_atomic(a.out + "/demo_machine.json", machine, &err) != 0) return fail(err);
  }
  return 0;
}
