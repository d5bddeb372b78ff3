// Small databases for the loader tests: a catalogue fixture, its image, and
// an editable view of an image for making damaged files.
#pragma once

#include "hwdb/hwdb.h"
#include "hwdb/hwdb_parse.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hwdbtest {

// Two cards: CARDA (ISA, firmware, three resources, two devices) and CARDB
// (PCI, nothing but one device).
extern const char SMALL_CATALOGUE[];

// The decompressed image of a catalogue text (the test fails on a bad one).
std::string image_of(const std::string &catalogue_json);
std::string small_image();

// The sections of an image, editable; bytes() lays them out again with the
// header as it stands, so counts can disagree with the sections.
struct Image {
  kvl::HwdbHeader header{};
  std::vector<kvl::HwdbMenu> menus;
  std::vector<kvl::HwdbNode> nodes;
  std::vector<uint32_t> descr;
  std::string strings;

  static Image parse(const std::string &bytes);
  std::string bytes() const;
  size_t menus_at() const { return sizeof header; }
  size_t nodes_at() const { return menus_at() + menus.size() * sizeof(kvl::HwdbMenu); }
  size_t descr_at() const { return nodes_at() + nodes.size() * sizeof(kvl::HwdbNode); }
  size_t strings_at() const { return descr_at() + descr.size() * 4; }
};

// The hint after every message about a stream that ended early.
inline const std::string USUALLY =
    "\nUsually this means that uncompress command was not found\n"
    "from any of the directories pointed by the PATH\n";

// What hwdb_parse_bytes reports for bytes under the path "/kvl/etc/config.dat";
// empty when it loads.
std::string parse_error(const std::string &bytes);

// The model parsed from bytes, as hwdb_load would give it, freed with the
// object.
class LoadedModel {
 public:
  explicit LoadedModel(const std::string &bytes);
  ~LoadedModel();
  LoadedModel(const LoadedModel &) = delete;
  LoadedModel &operator=(const LoadedModel &) = delete;
  const kvl::HwdbModel &model() const { return model_; }

 private:
  kvl::HwdbModel model_;
};

// Writes a config.dat the way the build does (compress, then scramble).
void write_config_dat(const std::string &path, const std::string &image);

// Writes the image scrambled but not compressed, for a stand-in uncompress
// that only copies.
void write_scrambled(const std::string &path, const std::string &bytes);

}  // namespace hwdbtest
