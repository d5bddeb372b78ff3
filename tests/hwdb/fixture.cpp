#include "fixture.h"

#include "hwdb/hwdb_parse.h"
#include "hwdb/hwdb_scramble.h"
#include "support.h"
#include "tools/catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <cstring>

namespace hwdbtest {

const char SMALL_CATALOGUE[] = R"({
  "drivers": [
    {"name": "DRVA", "module": "a", "key": 1, "description": "driver a"},
    {"name": "DRVB", "module": "b", "key": 2, "description": "driver b"}
  ],
  "cards": [
    {"key": "CARDA", "title": "Card A", "name": "cara", "bus": "isa", "opt": "needs_isa",
     "descr": "Card A text", "firmware": {"type": "bin", "driver": "DRVA", "file": "~/bin/x.bin"},
     "devices": [
       {"name": "DRVA", "type": "audio", "descr": "Device A", "opt": "may_disable",
        "resources": [
          {"type": "io", "values": ["0x220", "0x240"], "size": 16, "descr": "Port text"},
          {"type": "irq", "irqs": [5, 7], "default": 7},
          {"type": "dma", "num": 2, "dmas": [1, 3], "default": 3, "descr": "Port text"}]},
       {"name": "DRVB", "type": "midi"}]},
    {"key": "CARDB", "title": "Card B", "name": "carb", "bus": "pci",
     "opt": ["no_alloc", "not_manual"], "devices": [{"name": "DRVB", "opt": "no_alloc"}]}
  ]
})";

std::string image_of(const std::string &catalogue_json) {
  kvl::Catalogue cat;
  std::string err;
  EXPECT_EQ(kvl::catalogue_add_json(catalogue_json, "fixture", &cat, &err), 0) << err;
  return kvl::catalogue_image(cat);
}

std::string small_image() { return image_of(SMALL_CATALOGUE); }

Image Image::parse(const std::string &b) {
  Image im;
  std::memcpy(&im.header, b.data(), sizeof im.header);
  const char *p = b.data() + sizeof im.header;
  im.menus.resize(static_cast<size_t>(im.header.menu_count));
  std::memcpy(im.menus.data(), p, im.menus.size() * sizeof(kvl::HwdbMenu));
  p += im.menus.size() * sizeof(kvl::HwdbMenu);
  im.nodes.resize(static_cast<size_t>(im.header.node_count));
  std::memcpy(im.nodes.data(), p, im.nodes.size() * sizeof(kvl::HwdbNode));
  p += im.nodes.size() * sizeof(kvl::HwdbNode);
  im.descr.resize(static_cast<size_t>(im.header.descr_count));
  std::memcpy(im.descr.data(), p, im.descr.size() * 4);
  p += im.descr.size() * 4;
  im.strings.assign(p, static_cast<size_t>(im.header.strings_size));
  return im;
}

std::string Image::bytes() const {
  std::string b(reinterpret_cast<const char *>(&header), sizeof header);
  b.append(reinterpret_cast<const char *>(menus.data()), menus.size() * sizeof(kvl::HwdbMenu));
  b.append(reinterpret_cast<const char *>(nodes.data()), nodes.size() * sizeof(kvl::HwdbNode));
  b.append(reinterpret_cast<const char *>(descr.data()), descr.size() * 4);
  b += strings;
  return b;
}

std::string parse_error(const std::string &bytes) {
  kvl::HwdbModel m;
  std::string err;
  if (kvl::hwdb_parse_bytes(bytes.data(), bytes.size(), "/kvl/etc/config.dat", &m, &err) == 0)
    kvl::hwdb_model_free(&m);
  return err;
}

LoadedModel::LoadedModel(const std::string &bytes) {
  std::string err;
  EXPECT_EQ(kvl::hwdb_parse_bytes(bytes.data(), bytes.size(), "fixture", &model_, &err), 0) << err;
}

LoadedModel::~LoadedModel() { kvl::hwdb_model_free(&model_); }

void write_config_dat(const std::string &path, const std::string &image) {
  std::string err;
  ASSERT_EQ(kvl::write_config_dat(image, path, &err), 0) << err;
}

void write_scrambled(const std::string &path, const std::string &bytes) {
  std::string b = bytes;
  kvl::HwdbScrambler s;
  kvl::hwdb_scrambler_init(&s, b.size());
  kvl::hwdb_scramble(&s, reinterpret_cast<unsigned char *>(b.data()), b.size());
  kvltest::write_file(path, b);
}

}  // namespace hwdbtest
