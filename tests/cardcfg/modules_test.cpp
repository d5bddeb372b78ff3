// etc/modules.lis and etc/modules.dep.
#include "cardcfg/modules.h"
#include "common/common.h"
#include "fixture.h"
#include "support.h"

#include <sstream>

namespace cardtest {
namespace {

using namespace kvl;

int load_lis(const std::string &text) { return load_modules_lis(model().drivers, text); }

int load_dep(const std::string &text) {
  return load_modules_dep(model().module_deps, text, model().verbosity);
}

TEST_F(CardcfgTest, ModulesLisRows) {
  model().drivers.slots = 7;
  ASSERT_EQ(load_lis("sb16 sb\nsb16\n\nmpu\tmpu401 x\nfm  opl3"), 0);
  EXPECT_EQ(model().drivers.count, 5);
  EXPECT_EQ(model().drivers.slots, 5);
  const char *want[][2] = {{"sb16", "sb"}, {"sb16", ""}, {"", ""}, {"mpu", "mpu401 x"}, {"fm", " opl3"}};
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ(model().drivers.names[i], want[i][0]) << i;
    EXPECT_EQ(model().drivers.texts[i], want[i][1]) << i;
  }
  EXPECT_EQ(module_of_driver(model().drivers, "sb16"), "sb");
  EXPECT_EQ(module_of_driver(model().drivers, "nosuch"), "");
}

TEST_F(CardcfgTest, ModulesLisHoldsTwoHundredRows) {
  std::string text;
  for (int i = 0; i < 200; i++) text += "drv" + std::to_string(i) + " mod\n";
  EXPECT_EQ(load_lis(text), 0);
  EXPECT_EQ(model().drivers.slots, 200);

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(load_lis(text + "one more\n"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Too many drivers\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Too many drivers\n");
}

// Lines that are not of their file's form are told with their numbers (and
// still read as the format reads them); empty lines are not told.
TEST_F(CardcfgTest, ListLinesOfAnotherFormAreToldByNumber) {
  using namespace std::string_literals;
  struct Case {
    bool dep;  // modules.dep, else modules.lis
    std::string text;
    std::vector<int> told;
  } cases[] = {
      {false, "sb16 sb\nmpu\tmpu401\n\nSB16 sb16\n", {}},
      {false, "sb16\nmpu mpu401 extra\nfm  opl3\n x\n\x89PNG\x1a\nok one\nnul \0x\n"s, {1, 2, 3, 4, 5, 7}},
      {true, "sbcore [sb sb16]\nad1848\t [cs4232]  \nac97 []\n\n", {}},
      {true, "sbcore sb sb16\n[sb]\nx [a b\nx [a] b\nx [a]\x01\ny\x02 [a]\nx [a [b]]\n", {1, 2, 3, 4, 5, 6, 7}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    std::string want;
    for (int n : c.told)
      want += std::string(c.dep ? "etc/modules.dep: line " : "etc/modules.lis: line ") + std::to_string(n) +
              (c.dep ? " is not \"MODULE [DEPS]\"\n" : " is not \"NAME MODULE\"\n");
    model().module_deps = ModuleDepTable{};
    testing::internal::CaptureStderr();
    EXPECT_EQ(c.dep ? load_dep(c.text) : load_lis(c.text), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), want);
  }
}

// The configurator names the files by their paths.
TEST_F(CardcfgTest, ListFilesAreNamedByTheirPaths) {
  kvltest::write_file(dir_ + "/etc/modules.lis", "sb16\n");
  kvltest::write_file(dir_ + "/etc/modules.dep", "sbcore\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(read_modules_lis(model()), 0);
  EXPECT_EQ(read_modules_dep(model()), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            dir_ + "/etc/modules.lis: line 1 is not \"NAME MODULE\"\n" + dir_ +
                "/etc/modules.dep: line 1 is not \"MODULE [DEPS]\"\n");
}

// The dependency table as "module: required,required; ..." text.
std::string deps() {
  std::string s;
  for (int i = 0; i < model().module_deps.count; i++) {
    const ModuleDep &d = model().module_deps.entries[i];
    s += std::string(d.name) + ":";
    for (int k = 0; k < d.count; k++) s += std::string(k ? "," : "") + d.required[k];
    s += ";";
  }
  return s;
}

TEST_F(CardcfgTest, ModulesDepLines) {
  const struct {
    const char *text;
    const char *deps;
  } cases[] = {
      {"sbcore [sb16 sbpro]\n", "sb16:sbcore;sbpro:sbcore;"},
      {"sbcore\t[sb16] [sbpro]\n", "sb16:sbcore;"},
      {"sbcore used by [sb16  sbpro\n", "sb16:sbcore;sbpro:sbcore;"},
      {"audkern [sb16]\nsbcore [audkern]\n", ""},
      {"sbcore sb16 sbpro\nsbcore\n[sb16]\n\n", ""},
      {"a [m]\nb [m]\na [m]\n", "m:a,b,a;"},
  };
  for (const auto &c : cases) {
    reset_model();
    EXPECT_EQ(load_dep(c.text), 0) << c.text;
    EXPECT_EQ(deps(), c.deps) << c.text;
  }
}

TEST_F(CardcfgTest, ModulesDepLimits) {
  std::string text;
  for (int i = 0; i < MAX_DEP_ENTRIES; i++) text += "core [m" + std::to_string(i) + "]\n";
  ASSERT_EQ(load_dep(text), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(load_dep("core [one_more]\n"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "audcore: Too many modules loaded\n");

  reset_model();
  text.clear();
  for (int i = 0; i < MAX_DEP_REQUIRED; i++) text += "c" + std::to_string(i) + " [m]\n";
  ASSERT_EQ(load_dep(text), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(load_dep("one_more [m]\n"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: too many modules loaded\n");

  // Names longer than 59 characters are cut, and still found again.
  reset_model();
  std::string longname(80, 'n');
  ASSERT_EQ(load_dep("a [" + longname + "]\nb [" + longname + "]\n"), 0);
  EXPECT_EQ(deps(), longname.substr(0, 59) + ":a,b;");
}

TEST_F(CardcfgTest, ModulesDepPrintedAtVerbositySeven) {
  model().verbosity = 7;
  testing::internal::CaptureStderr();
  ASSERT_EQ(load_dep("core [sb16 sbpro]\nmidi [sb16]\n"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Module: sb16 requires core,midi\nModule: sbpro requires core\n");
}

TEST_F(CardcfgTest, MissingListFilesAreReportedAsFailures) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(read_modules_lis(model()), -1);
  EXPECT_EQ(read_modules_dep(model()), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            dir_ + "/etc/modules.lis: No such file or directory\n" + dir_ +
                "/etc/modules.dep: No such file or directory\n");
  kvltest::write_file(dir_ + "/etc/modules.lis", "sb16 sb\n");
  EXPECT_EQ(read_modules_lis(model()), 0);
  EXPECT_EQ(model().drivers.count, 1);
}

}  // namespace
}  // namespace cardtest
