// The hardware catalogue: the readable source (data/catalogue/*.json) of the
// card-level drivers and the cards, and the files generated from it:
// etc/config.dat, etc/modules.lis, etc/modules.dep and the driver list of the
// simulator's demo machine.
#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kvl {

struct CatResource {
  int restype = 0;         // 1 I/O port, 2 IRQ, 3 DMA
  int num = 1;             // 1-based among the node's resources of this type
  std::string descr;       // empty: none
  int count = 0;           // I/O: entries of values; IRQ and DMA: 1 (mask valid)
  int mask = 0;            // allowed IRQs or DMA channels
  std::vector<int> values; // candidate I/O bases, at most 16
  int def = 0;             // factory default
  int flags = 0;           // RF_* bits
  int size = 0;            // I/O addresses decoded from the base
  int range_start = 0, range_end = 0, range_step = 0;
  std::vector<std::pair<int, int>> ranges;  // further (offset, length) ranges, at most 8
};

struct CatNode {
  std::string name;        // card node: the card family; device node: the driver name
  int bus = 0, type = 0, num = 0, opt = 0;
  std::string descr;       // empty: none
  std::vector<CatResource> resources;
  std::vector<CatNode> devices;  // the children, in configuration order
  int dnld = 0;            // 0 none, 1 binary, 2 Intel hex
  std::string dnld_name;   // driver that receives the firmware
  std::string dnld_file;   // default path; "~" stands for the installation directory
  std::string dnld_hint;   // text shown when the file is missing; empty: none
  std::string control;     // "/CONTROL" text; empty: none
};

struct CatCard {
  std::string key;         // card-name table name
  std::string title;
  CatNode node;            // the card's top node
};

struct CatDriver {
  std::string name;        // the name device nodes use
  std::string module;      // kernel module holding it
  int key = 0;             // the driver's type key
  std::string description;
  std::vector<std::string> depends;  // modules that must be loaded before its module
};

struct Catalogue {
  std::vector<CatDriver> drivers;
  std::vector<CatCard> cards;
  std::map<std::string, std::string> help;   // "README.x" -> text, shipped under docs/
  std::map<std::string, nlohmann::json> templates;  // reusable node definitions
};

// Adds the templates, drivers and cards of one catalogue file (JSON text) to
// cat, in file order. Returns 0, or -1 with "SOURCE: reason" in err.
int catalogue_add_json(const std::string &text, const std::string &source, Catalogue *cat,
                       std::string *err);

// Adds every README.x file of dir to cat's help texts. Returns 0, or -1 with
// the reason in err.
int catalogue_add_help(const std::string &dir, Catalogue *cat, std::string *err);

// Checks the catalogue as a whole: field lengths and limits, unique driver
// names and keys, device and download names that are drivers, README
// references that have a help text, the module tables' limits. Returns 0, or
// -1 with one line per problem in err.
int catalogue_check(const Catalogue &cat, std::string *err);

// The "README.x" names that a text refers to, in order.
std::vector<std::string> readme_refs(const std::string &text);

// The decompressed etc/config.dat: header, menus, nodes, descrtab, strings.
// Nodes are laid out card by card, each top node followed by its devices.
std::string catalogue_image(const Catalogue &cat);

// etc/modules.lis: one "driver module" line per driver, in catalogue order.
std::string catalogue_modules_lis(const Catalogue &cat);

// etc/modules.dep: one "module [needers...]" line per module that others need.
std::string catalogue_modules_dep(const Catalogue &cat);

// The demo machine: template with its "drivers" replaced by the catalogue's.
nlohmann::ordered_json catalogue_demo_machine(const Catalogue &cat,
                                              const nlohmann::ordered_json &templ);

// Compresses image with "compress -b 16 -c", scrambles the result and
// replaces path with it. Returns 0, or -1 with the reason in err.
int write_config_dat(const std::string &image, const std::string &path, std::string *err);

// Replaces path with data (temporary file beside it, then rename). Returns 0,
// or -1 with the reason in err.
int write_file_atomic(const std::string &path, const std::string &data, std::string *err);

}  // namespace kvl
