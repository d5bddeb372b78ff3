// The shipped catalogue: the generated files agree with it, and it has the
// cards the plug-and-play writer's layouts need.
#include "fixture.h"
#include "hwdb/hwdb_parse.h"
#include "support.h"
#include "tools/catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace {

const kvl::Catalogue &shipped() {
  static kvl::Catalogue cat;
  static bool loaded = false;
  if (!loaded) {
    std::istringstream files(KVL_CATALOGUE_FILES);
    std::string f, err;
    while (std::getline(files, f, '|'))
      EXPECT_EQ(kvl::catalogue_add_json(kvltest::read_file(f), f, &cat, &err), 0) << err;
    EXPECT_EQ(kvl::catalogue_add_help(KVL_SOURCE_DIR "/data/help", &cat, &err), 0) << err;
    loaded = true;
  }
  return cat;
}

void expect_text(const kvl::HwdbModel &db, int descr, const std::string &want, const std::string &where) {
  if (want.empty()) {
    EXPECT_EQ(descr, -1) << where;
  } else {
    ASSERT_NE(kvl::hwdb_text(db, descr), nullptr) << where;
    EXPECT_EQ(kvl::hwdb_text(db, descr), want) << where;
  }
}

void expect_node(const kvl::HwdbModel &db, int index, const kvl::CatNode &c, const std::string &where) {
  ASSERT_GE(index, 0);
  ASSERT_LT(index, db.node_count);
  const kvl::HwdbNode &n = db.nodes[index];
  EXPECT_STREQ(n.name, c.name.c_str()) << where;
  EXPECT_EQ(n.bus, c.bus) << where;
  EXPECT_EQ(n.type, c.type) << where;
  EXPECT_EQ(n.num, c.num) << where;
  EXPECT_EQ(n.opt, c.opt) << where;
  expect_text(db, n.descr, c.descr, where + " descr");
  EXPECT_EQ(n.dnld, c.dnld) << where;
  EXPECT_STREQ(n.dnld_name, c.dnld_name.c_str()) << where;
  EXPECT_STREQ(n.dnld_file, c.dnld_file.c_str()) << where;
  expect_text(db, n.dnld_hint, c.dnld_hint, where + " hint");
  expect_text(db, n.control, c.control, where + " control");
  ASSERT_EQ(n.nres, static_cast<int>(c.resources.size())) << where;
  for (int i = 0; i < n.nres; i++) {
    const kvl::HwdbResource &r = n.resources[i];
    const kvl::CatResource &e = c.resources[static_cast<size_t>(i)];
    std::string w = where + " resource " + std::to_string(i);
    EXPECT_EQ(r.restype, e.restype) << w;
    EXPECT_EQ(r.num, e.num) << w;
    expect_text(db, r.descr, e.descr, w);
    EXPECT_EQ(r.count, e.count) << w;
    EXPECT_EQ(r.mask, e.mask) << w;
    for (size_t v = 0; v < e.values.size(); v++) EXPECT_EQ(r.values[v], e.values[v]) << w;
    EXPECT_EQ(r.def, e.def) << w;
    EXPECT_EQ(r.flags, e.flags) << w;
    EXPECT_EQ(r.size, e.size) << w;
    EXPECT_EQ(r.range_start, e.range_start) << w;
    EXPECT_EQ(r.range_end, e.range_end) << w;
    EXPECT_EQ(r.range_step, e.range_step) << w;
    ASSERT_EQ(r.range_count, static_cast<int>(e.ranges.size())) << w;
    for (int x = 0; x < r.range_count; x++) {
      EXPECT_EQ(r.ranges[x][0], e.ranges[static_cast<size_t>(x)].first) << w;
      EXPECT_EQ(r.ranges[x][1], e.ranges[static_cast<size_t>(x)].second) << w;
    }
  }
  ASSERT_EQ(n.child_count, static_cast<int>(c.devices.size())) << where;
  for (int i = 0; i < n.child_count; i++)
    expect_node(db, n.children[i], c.devices[static_cast<size_t>(i)],
                where + " device " + std::to_string(i + 1));
}

TEST(Catalogue, GeneratedDatabaseLoadsBackEveryCard) {
  const kvl::Catalogue &cat = shipped();
  std::string err;
  ASSERT_EQ(kvl::catalogue_check(cat, &err), 0) << err;
  kvl::HwdbModel db;
  ASSERT_EQ(kvl::hwdb_load(KVL_DATA_DIR "/etc/config.dat", &db, &err), 0) << err;
  ASSERT_EQ(db.menu_count, static_cast<int>(cat.cards.size()));
  int nodes = 0;
  for (size_t i = 0; i < cat.cards.size(); i++) {
    const kvl::CatCard &c = cat.cards[i];
    EXPECT_EQ(kvl::hwdb_find_card(db, c.key.c_str()), static_cast<int>(i));
    EXPECT_STREQ(db.menus[i].title, c.title.c_str());
    expect_node(db, db.menus[i].node, c.node, c.key);
    nodes += 1 + static_cast<int>(c.node.devices.size());
  }
  EXPECT_EQ(db.node_count, nodes);
  kvl::hwdb_model_free(&db);
}

TEST(Catalogue, ModuleListsAndDemoMachineComeFromTheDrivers) {
  const kvl::Catalogue &cat = shipped();
  std::string lis;
  for (const kvl::CatDriver &d : cat.drivers) lis += d.name + " " + d.module + "\n";
  EXPECT_EQ(kvltest::read_file(KVL_DATA_DIR "/etc/modules.lis"), lis);

  // Each driver's module is listed under every module it needs.
  std::map<std::string, std::string> needers;
  std::istringstream dep(kvltest::read_file(KVL_DATA_DIR "/etc/modules.dep"));
  for (std::string line; std::getline(dep, line);) {
    size_t open = line.find(" ["), close = line.find(']');
    ASSERT_TRUE(open != std::string::npos && close == line.size() - 1) << line;
    needers[line.substr(0, open)] = " " + line.substr(open + 2, close - open - 2) + " ";
  }
  for (const kvl::CatDriver &d : cat.drivers)
    for (const std::string &m : d.depends)
      EXPECT_NE(needers[m].find(" " + d.module + " "), std::string::npos) << d.name << " " << m;

  auto machine = nlohmann::json::parse(kvltest::read_file(KVL_DATA_DIR "/demo_machine.json"));
  auto templ = nlohmann::json::parse(kvltest::read_file(KVL_SOURCE_DIR "/data/demo_machine.template.json"));
  ASSERT_EQ(machine["drivers"].size(), cat.drivers.size());
  for (size_t i = 0; i < cat.drivers.size(); i++) {
    EXPECT_EQ(machine["drivers"][i]["name"], cat.drivers[i].name);
    EXPECT_EQ(machine["drivers"][i]["key"], cat.drivers[i].key);
    EXPECT_EQ(machine["drivers"][i]["description"], cat.drivers[i].description);
  }
  machine.erase("drivers");
  templ.erase("drivers");
  EXPECT_EQ(machine, templ);
  for (const auto &h : cat.help)
    EXPECT_EQ(kvltest::read_file(KVL_DATA_DIR "/docs/" + h.first), h.second);
}

// One card of each row of the plug-and-play layout table, with the device
// that each position D1..D4 must hold for that row.
TEST(Catalogue, PlugAndPlayCardsHaveTheDeviceOrderTheirLayoutNeeds) {
  const char *OPL = "OPL3", *MPU = "MPU401";
  struct Row {
    const char *id;
    std::vector<const char *> devices;
  } rows[] = {
      {"CMI0001", {OPL, MPU, "CMI8330"}},           {"YMH0020", {OPL, MPU, "SACTL", "OPL3SA"}},
      {"CSC4232", {OPL, MPU, "CS4232"}},             {"CSC8032", {OPL, MPU, "CS4232"}},
      {"CSC3D32", {OPL, MPU, "CS4232"}},             {"CSCE825", {OPL, MPU, "CS4236"}},
      {"CSC8037", {OPL, MPU, "CS4236"}},             {"CSCA836", {"CS4236", OPL, MPU}},
      {"CSC9836", {OPL, MPU, "CS4236"}},             {"CTL0070", {OPL, MPU, "SB16"}},
      {"sb16pnp", {OPL, MPU, "SB16"}},               {"CTL00F0", {OPL, MPU, "SB16"}},
      {"CTL0028", {OPL, MPU, "SB16"}},               {"CTL0044", {OPL, MPU, "AWE", "SB16"}},
      {"CTL009C", {OPL, MPU, "AWE", "SB16"}},        {"CTL00ED", {OPL, MPU, "AWE", "SB16"}},
      {"CTL0080", {OPL, MPU, "SB16"}},               {"CTL00A5", {"AWE"}},
      {"CTL009D", {OPL, MPU, "AWE", "SB16"}},        {"CTL00C3", {OPL, MPU, "AWE", "SB16"}},
      {"CTL009E", {OPL, MPU, "AWE", "SB16"}},        {"ALS0001", {"ALS100", MPU, OPL}},
      {"ALS0007", {OPL, MPU, "ALS100"}},             {"ALS0120", {OPL, MPU, "ALS100"}},
      {"ALS0110", {OPL, MPU, "ALS100"}},             {"ESS1868", {OPL, MPU, "ESSAUDIO"}},
      {"ESS1869", {OPL, MPU, "ESSAUDIO"}},           {"ESS1878", {OPL, MPU, "ESSAUDIO"}},
      {"ESS1879", {OPL, MPU, "ESSAUDIO"}},           {"ESS0968", {OPL, MPU, "ESSAUDIO"}},
  };
  for (const Row &row : rows) {
    const kvl::CatCard *card = nullptr;
    for (const kvl::CatCard &c : shipped().cards)
      if (c.key == row.id) card = &c;
    ASSERT_NE(card, nullptr) << row.id;
    EXPECT_TRUE(card->node.opt & kvl::OPT_PNP) << row.id;
    ASSERT_EQ(card->node.devices.size(), row.devices.size()) << row.id;
    for (size_t i = 0; i < row.devices.size(); i++)
      EXPECT_EQ(card->node.devices[i].name, row.devices[i]) << row.id << " D" << i + 1;
  }
}

TEST(Catalogue, MistakesInTheDataAreRefused) {
  struct Case {
    const char *edit_from, *edit_to, *err;
  } cases[] = {
      {"\"size\": 16,", "\"size\": 16, \"sise\": 4,", "unknown field \"sise\""},
      {"{\"name\": \"DRVB\", \"type\": \"midi\"}", "{\"name\": \"DRVC\"}", "device \"DRVC\" is no driver"},
      {"\"title\": \"Card B\"", "\"title\": \"Card B, see README.cardb\"", "no help text README.cardb"},
      {"\"key\": \"CARDB\"", "\"key\": \"CARDA\"", "key used twice"},
      {"\"default\": 7", "\"default\": 9", "the default is not one of the allowed values"},
      {"\"key\": \"CARDB\"", "\"key\": \"CARD-B-KEY-IS-LONG\"", "is longer than 15"},
      {"\"type\": \"bin\"", "\"type\": \"hex\"", "hex firmware needs a download hint quoting"},
      {"\"type\": \"bin\", \"driver\": \"DRVA\", \"file\": \"~/bin/x.bin\"",
       "\"type\": \"hex\", \"driver\": \"DRVA\", \"file\": \"~/bin/x.hex\", \"hint\": \"Needs x.hex.\"",
       "hex firmware needs a download hint quoting"},
  };
  for (const Case &c : cases) {
    std::string text = hwdbtest::SMALL_CATALOGUE;
    size_t at = text.find(c.edit_from);
    ASSERT_NE(at, std::string::npos) << c.edit_from;
    text.replace(at, std::strlen(c.edit_from), c.edit_to);
    kvl::Catalogue cat;
    std::string err;
    if (kvl::catalogue_add_json(text, "fixture", &cat, &err) == 0) kvl::catalogue_check(cat, &err);
    EXPECT_NE(err.find(c.err), std::string::npos) << c.err << " not in: " << err;
  }
}

}  // namespace
