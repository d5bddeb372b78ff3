// For tests of the configurator's logic in-process: an installation folder,
// a run without a driver, a small database each test builds, and a scripted
// user.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "../cardcfg/fixture.h"
#include "cardcfg/cardlist.h"
#include "configurator/configurator.h"
#include "entry/entry.h"

namespace cfgtest {

class ConfiguratorTest : public ::testing::Test {
 protected:
  kvltest::TempDir dir_;
  std::unique_ptr<kvl::CoreRun> run_ = std::make_unique<kvl::CoreRun>();
  cardtest::Db db_;
  const kvl::HwdbModel *view_ = nullptr;
  kvltest::ScriptAsker asker_;

  void SetUp() override {
    std::filesystem::create_directories(dir_ / "etc");
    run_->model.install_dir = dir_.path();
    run_->control.no_driver = 1;
  }
  // The database as built so far.
  const kvl::HwdbModel &hw() {
    if (!view_) view_ = &db_.model();
    return *view_;
  }
  kvl::Configurator cfg() {
    return {*run_, hw(), asker_, dir_ / "etc/devices.cfg", dir_ / "etc/modules.cfg"};
  }
  kvl::ConfiguredCard &card(int c) { return run_->model.cards.cards[c]; }
  void add(const char *key) { ASSERT_GT(kvl::add_card(run_->model, hw(), asker_, key, 0), 0); }
  void answer(int code, int current = 0) { asker_.answers.push_back({code, current}); }
};

}  // namespace cfgtest
