// Damaged files: every count, index and offset that would make later code
// read or write outside the model is refused with one message.
#include "fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

using hwdbtest::Image;

// In the small fixture: node 0 is CARDA's top node with devices 1 and 2,
// node 3 CARDB's with device 4; texts 0..2.
TEST(Validate, DamagedFilesAreRefusedWithWhatIsWrong) {
  const std::string good = hwdbtest::small_image();
  ASSERT_EQ(hwdbtest::parse_error(good), "");
  struct Case {
    const char *what;
    std::function<void(Image &)> edit;
  } cases[] = {
      {"menu count -1 is negative", [](Image &im) { im.header.menu_count = -1; }},
      {"strings size -4 is negative", [](Image &im) { im.header.strings_size = -4; }},
      {"descr count 1025 is above 1024", [](Image &im) { im.header.descr_count = 1025; }},
      {"the strings do not end with a NUL", [](Image &im) { im.strings.back() = 'x'; }},
      {"descr 2: offset 31 is outside the strings (31 bytes)",
       [](Image &im) { im.descr[2] = static_cast<uint32_t>(im.strings.size()); }},
      {"menu 1: node 5 is outside the nodes (5)", [](Image &im) { im.menus[1].node = 5; }},
      {"menu 0: node -1 is outside the nodes (5)", [](Image &im) { im.menus[0].node = -1; }},
      {"menu 0: name is not terminated",
       [](Image &im) { std::memset(im.menus[0].name, 'K', sizeof im.menus[0].name); }},
      {"menu 1: title is not terminated",
       [](Image &im) { std::memset(im.menus[1].title, 'T', sizeof im.menus[1].title); }},
      {"node 2: name is not terminated",
       [](Image &im) { std::memset(im.nodes[2].name, 'N', sizeof im.nodes[2].name); }},
      {"node 0: download file is not terminated",
       [](Image &im) { std::memset(im.nodes[0].dnld_file, 'F', sizeof im.nodes[0].dnld_file); }},
      {"node 0: child 5 is outside the nodes (5)", [](Image &im) { im.nodes[0].children[1] = 5; }},
      {"node 0: child count 11 is outside 0..10", [](Image &im) { im.nodes[0].child_count = 11; }},
      {"node 1: nres 9 is outside 0..8", [](Image &im) { im.nodes[1].nres = 9; }},
      {"node 1: nres -1 is outside 0..8", [](Image &im) { im.nodes[1].nres = -1; }},
      {"node 1: descr 3 is outside the descr table (3)", [](Image &im) { im.nodes[1].descr = 3; }},
      {"node 0: download hint -2 is outside the descr table (3)",
       [](Image &im) { im.nodes[0].dnld_hint = -2; }},
      {"node 3: control 7 is outside the descr table (3)", [](Image &im) { im.nodes[3].control = 7; }},
      {"node 1 resource 2: descr 3 is outside the descr table (3)",
       [](Image &im) { im.nodes[1].resources[2].descr = 3; }},
      {"node 1 resource 0: range count 9 is outside 0..8",
       [](Image &im) { im.nodes[1].resources[0].range_count = 9; }},
      {"node 1 resource 0: value count 17 is outside 0..16",
       [](Image &im) { im.nodes[1].resources[0].count = 17; }},
      {"node 1 resource 1: num 3 is outside 1..2", [](Image &im) { im.nodes[1].resources[1].num = 3; }},
      {"node 1 resource 0: num 2 is outside 1..1", [](Image &im) { im.nodes[1].resources[0].num = 2; }},
      {"node 1 resource 0: range step 0 is not positive",
       [](Image &im) { im.nodes[1].resources[0].count = 0; }},
      {"node 0: its children loop or nest deeper than 16 levels",
       [](Image &im) {
         im.nodes[1].child_count = 1;
         im.nodes[1].children[0] = 0;
       }},
  };
  for (const Case &c : cases) {
    Image im = Image::parse(good);
    c.edit(im);
    EXPECT_EQ(hwdbtest::parse_error(im.bytes()),
              std::string("/kvl/etc/config.dat: Invalid file contents: ") + c.what + "\n")
        << c.what;
  }
}

TEST(Validate, UnusedSlotsAndOtherResourceTypesAreNotChecked) {
  Image im = Image::parse(hwdbtest::small_image());
  im.nodes[1].resources[5].descr = 99;    // beyond nres
  im.nodes[1].children[4] = 1000;         // beyond the child count
  im.nodes[4].nres = 1;
  im.nodes[4].resources[0].restype = 7;   // a type the programs skip
  im.nodes[4].resources[0].num = 40;
  im.nodes[4].resources[0].descr = -1;
  EXPECT_EQ(hwdbtest::parse_error(im.bytes()), "");
}

TEST(Validate, NestingUpToTheLimitLoads) {
  // A chain of 17 nodes: the top one has 16 levels below it.
  Image im = Image::parse(hwdbtest::small_image());
  kvl::HwdbNode leaf = im.nodes[2];
  im.nodes.resize(5);
  for (int i = 0; i < 17; i++) {
    kvl::HwdbNode n = leaf;
    n.child_count = i < 16 ? 1 : 0;
    n.children[0] = 5 + i + 1;
    im.nodes.push_back(n);
  }
  im.header.node_count = static_cast<int32_t>(im.nodes.size());
  EXPECT_EQ(hwdbtest::parse_error(im.bytes()), "");
  // One more level is refused.
  im.nodes.back().child_count = 1;
  im.nodes.back().children[0] = static_cast<int32_t>(im.nodes.size());
  im.nodes.push_back(leaf);
  im.header.node_count++;
  EXPECT_EQ(hwdbtest::parse_error(im.bytes()),
            "/kvl/etc/config.dat: Invalid file contents: node 5: its children loop or nest "
            "deeper than 16 levels\n");
}

// The parser checks each record as soon as the stream has brought it in.
// What it reports does not depend on how the stream is cut into reads, and
// the first fault in the validation's order is the one told, wherever the
// stream put it.
struct Trickle {
  std::string data;
  size_t step;
  size_t pos = 0;
  static ssize_t read(void *ctx, void *buf, size_t n) {
    Trickle *t = static_cast<Trickle *>(ctx);
    n = std::min({n, t->step, t->data.size() - t->pos});
    std::memcpy(buf, t->data.data() + t->pos, n);
    t->pos += n;
    return static_cast<ssize_t>(n);
  }
};

TEST(Validate, VerdictDoesNotDependOnHowTheStreamIsCut) {
  struct Case {
    const char *name;
    std::function<void(Image &)> edit;
    std::string what;  // empty: loads
  } cases[] = {
      {"good", [](Image &) {}, ""},
      {"first bad node",
       [](Image &im) {
         im.nodes[4].nres = 9;
         std::memset(im.nodes[2].name, 'N', sizeof im.nodes[2].name);
       },
       "node 2: name is not terminated"},
      {"menu before nodes",
       [](Image &im) {
         im.nodes[0].children[1] = 5;
         im.menus[1].node = 5;
       },
       "menu 1: node 5 is outside the nodes (5)"},
      {"strings before records",
       [](Image &im) {
         im.nodes[1].nres = 9;
         im.strings.back() = 'x';
       },
       "the strings do not end with a NUL"},
      {"a child before its parent",
       [](Image &im) {
         im.nodes[4].child_count = 1;
         im.nodes[4].children[0] = 2;
       },
       ""},
      {"a loop through a child before its parent",
       [](Image &im) {
         im.nodes[4].child_count = 1;
         im.nodes[4].children[0] = 3;
       },
       "node 3: its children loop or nest deeper than 16 levels"},
  };
  for (const Case &c : cases) {
    Image im = Image::parse(hwdbtest::small_image());
    c.edit(im);
    std::string want =
        c.what.empty() ? "" : "/kvl/etc/config.dat: Invalid file contents: " + c.what + "\n";
    ASSERT_EQ(hwdbtest::parse_error(im.bytes()), want) << c.name;
    for (size_t step : {size_t{1}, size_t{100}, sizeof(kvl::HwdbNode) + 3}) {
      Trickle t{im.bytes(), step};
      kvl::HwdbModel m;
      std::string err;
      if (kvl::hwdb_parse({Trickle::read, &t}, "/kvl/etc/config.dat", &m, &err) == 0)
        kvl::hwdb_model_free(&m);
      EXPECT_EQ(err, want) << c.name << ", reads of " << step;
    }
  }
}

}  // namespace
