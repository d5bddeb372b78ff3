// The parsing core: header checks in their order, sections read to the end,
// the strings retries, and the model it builds.
#include "fixture.h"
#include "hwdb/hwdb_parse.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

using hwdbtest::Image;
using hwdbtest::parse_error;
using hwdbtest::USUALLY;

TEST(Parse, HeaderChecksInOrder) {
  const std::string good = hwdbtest::small_image();
  struct Case {
    const char *name;
    void (*edit)(kvl::HwdbHeader &);
    std::string err;
  } cases[] = {
      {"magic", [](kvl::HwdbHeader &h) { h.magic[3] = 'X'; },
       "/kvl/etc/config.dat: Invalid file header\n" + USUALLY +
           "environment variable. In some Stampede Linux versions\n"
           "the included uncompress utility can't handle 16 bit format\n"
           "(you should obtain a more recent version).\n"},
      {"big-endian marker", [](kvl::HwdbHeader &h) { h.endian = 0x78563412u; },
       "/kvl/etc/config.dat: Invalid file endianess.\n"},
      {"marker before version",
       [](kvl::HwdbHeader &h) {
         h.endian = 0x78563412u;
         h.version = 0x1004;
       },
       "/kvl/etc/config.dat: Invalid file endianess.\n"},
      {"version", [](kvl::HwdbHeader &h) { h.version = 0x1004; },
       "/kvl/etc/config.dat: Invalid file version.\n"},
      {"magic before marker",
       [](kvl::HwdbHeader &h) {
         std::memcpy(h.magic, "KVLCONX", 8);
         h.endian = 0;
       },
       "/kvl/etc/config.dat: Invalid file header\n" + USUALLY +
           "environment variable. In some Stampede Linux versions\n"
           "the included uncompress utility can't handle 16 bit format\n"
           "(you should obtain a more recent version).\n"},
  };
  for (const Case &c : cases) {
    Image im = Image::parse(good);
    c.edit(im.header);
    EXPECT_EQ(parse_error(im.bytes()), c.err) << c.name;
  }
  EXPECT_EQ(parse_error(good.substr(0, 151)), "config.dat (header): No data available\n" + USUALLY);
  EXPECT_EQ(parse_error(""), "config.dat (header): No data available\n" + USUALLY);
}

TEST(Parse, ShortFileFailsInTheSectionBeingRead) {
  const std::string good = hwdbtest::small_image();
  Image im = Image::parse(good);
  ASSERT_GT(im.strings.size(), 10u);
  struct Case {
    size_t cut;
    std::string err;
  } cases[] = {
      {im.menus_at() + 10, "config.dat (menus): No data available\n"},
      {im.nodes_at(), "config.dat (nodes): No data available\n"},
      {im.nodes_at() + sizeof(kvl::HwdbNode) + 1, "config.dat (nodes): No data available\n"},
      {im.descr_at() + 2, "config.dat (descrtab): No data available\n"},
      {im.strings_at() + 5, "Read returned 0. Still remaining " +
                                std::to_string(im.strings.size() - 5) +
                                "\nconfig.dat (strings): No data available\n"},
  };
  for (const Case &c : cases) EXPECT_EQ(parse_error(good.substr(0, c.cut)), c.err) << c.cut;
  EXPECT_EQ(parse_error(good), "");
  EXPECT_EQ(parse_error(good + "anything after the strings"), "");
}

// A source over bytes that fails a number of reads once the strings section
// is reached, with a given result.
struct Flaky {
  std::string data;
  size_t pos = 0;
  size_t fail_at = 0;
  int failures = 0;
  int result = 0;
  static ssize_t read(void *ctx, void *buf, size_t n) {
    Flaky *f = static_cast<Flaky *>(ctx);
    if (f->pos >= f->fail_at && f->failures > 0) {
      f->failures--;
      errno = EIO;
      return f->result;
    }
    n = std::min(n, f->data.size() - f->pos);
    std::memcpy(buf, f->data.data() + f->pos, n);
    f->pos += n;
    return static_cast<ssize_t>(n);
  }
};

std::string flaky_error(int failures, int result, size_t fail_at = 0) {
  const std::string good = hwdbtest::small_image();
  Flaky f{good, 0, fail_at ? fail_at : Image::parse(good).strings_at(), failures, result};
  kvl::HwdbModel m;
  std::string err;
  if (kvl::hwdb_parse({Flaky::read, &f}, "/kvl/etc/config.dat", &m, &err) == 0)
    kvl::hwdb_model_free(&m);
  return err;
}

TEST(Parse, StringsReadsAreRetriedUntilThe102ndFailure) {
  EXPECT_EQ(flaky_error(101, 0), "");
  EXPECT_EQ(flaky_error(101, -1), "");
  const std::string good = hwdbtest::small_image();
  std::string left = std::to_string(Image::parse(good).strings.size());
  EXPECT_EQ(flaky_error(102, 0),
            "Read returned 0. Still remaining " + left + "\nconfig.dat (strings): No data available\n");
  EXPECT_EQ(flaky_error(102, -1), "Read returned -1. Still remaining " + left +
                                      "\nconfig.dat (strings): Input/output error\n");
}

TEST(Parse, OtherSectionsFailOnTheFirstFailedRead) {
  Image im = Image::parse(hwdbtest::small_image());
  EXPECT_EQ(flaky_error(1, -1, im.nodes_at()), "config.dat (nodes): Input/output error\n");
}

TEST(Parse, ModelHoldsTheSectionsAndTexts) {
  kvl::HwdbModel m;
  std::string err;
  const std::string good = hwdbtest::small_image();
  ASSERT_EQ(kvl::hwdb_parse_bytes(good.data(), good.size(), "p", &m, &err), 0) << err;
  ASSERT_EQ(m.menu_count, 2);
  EXPECT_STREQ(m.menus[1].name, "CARDB");
  EXPECT_STREQ(m.nodes[m.menus[0].node].dnld_file, "~/bin/x.bin");
  ASSERT_EQ(m.descr_count, 3);
  EXPECT_STREQ(m.descr[0], "Card A text");
  EXPECT_STREQ(m.descr[2], "Port text");
  kvl::hwdb_model_free(&m);
}

TEST(Model, FindCardTakesTheFirstRowAndTextsStayInTheTable) {
  Image im = Image::parse(hwdbtest::small_image());
  std::strcpy(im.menus[1].name, "CARDA");  // two rows with one key
  hwdbtest::LoadedModel loaded(im.bytes());
  const kvl::HwdbModel &db = loaded.model();
  EXPECT_EQ(kvl::hwdb_find_card(db, "CARDA"), 0);
  EXPECT_EQ(kvl::hwdb_find_card(db, "CARD"), -1);
  EXPECT_EQ(kvl::hwdb_find_card(db, "CARDAX"), -1);
  EXPECT_EQ(kvl::hwdb_find_card(db, "A-KEY-LONGER-THAN-ITS-FIELD"), -1);
  EXPECT_STREQ(kvl::hwdb_text(db, 1), "Device A");
  EXPECT_EQ(kvl::hwdb_text(db, -1), nullptr);
  EXPECT_EQ(kvl::hwdb_text(db, 3), nullptr);
  EXPECT_EQ(kvl::hwdb_node(db, db.node_count), nullptr);
  EXPECT_EQ(kvl::hwdb_node(db, -1), nullptr);
}

}  // namespace
