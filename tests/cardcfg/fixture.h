// A small hardware database built in memory and installed as the model, and a
// fresh card model for every test.
#pragma once

#include "cardcfg/model.h"
#include "hwdb/hwdb.h"
#include "script_asker.h"
#include "support.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace cardtest {

kvl::HwdbResource port_res(int num = 1, int size = 16);
kvl::HwdbResource irq_res(int num = 1);
kvl::HwdbResource dma_res(int num = 1);

class Db {
 public:
  int text(const std::string &s);
  int device(const char *name, int opt, std::initializer_list<kvl::HwdbResource> res = {});
  // A card node with its card-name row; returns the node index.
  int card(const char *key, const char *title, int opt, std::initializer_list<int> children);
  kvl::HwdbNode &node(int index) { return nodes_[index]; }
  // The database as a loaded model; valid until the next change.
  const kvl::HwdbModel &model();

 private:
  std::vector<kvl::HwdbMenu> menus_;
  std::vector<kvl::HwdbNode> nodes_;
  std::vector<std::string> texts_;
  kvl::HwdbModel view_;
};

// The test's configuration model, database and asker (fresh for each test).
kvl::ConfigModel &model();
const kvl::HwdbModel &db();
kvltest::ScriptAsker &asker();

// Empties the configuration model and the asker's record; keeps the
// installation directory.
void reset_model();
// The notices the asker has shown.
std::vector<std::string> &notices();

// The card-model calls on the test's model, database and asker.
int add_card(const char *name, int port);
std::string card_title(const kvl::ConfiguredCard &card);
int parse_devices_cfg(const std::string &text);

// Loads modules.lis and modules.dep texts.
void load_lists(const std::string &lis, const std::string &dep);

// The database of the round-trip configuration: ISA cards, plug-and-play
// cards of several layout rows and without one, a PCI and a USB card.
Db &standard_db();

// Builds the round-trip configuration in the model (standard_db installed).
void build_standard_config();

// Every test starts from an empty model over the standard database, with
// the installation directory in a fresh temporary folder.
class CardcfgTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir_;

 private:
  // Not a static: the code under test may end a forked test with exit(),
  // which must not remove the folder.
  std::unique_ptr<kvltest::TempDir> install_dir_;
};

}  // namespace cardtest
