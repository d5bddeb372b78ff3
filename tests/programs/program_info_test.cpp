// --help and --version of every program: the usage or the build's version on
// standard output and status 0, with no machine and no installation behind
// them; audcore and audpanel take them only as the whole first argument.
#include <gtest/gtest.h>

#include <string>

#include "support.h"

namespace {

using kvltest::bin;
using kvltest::run;

TEST(ProgramInfo, EveryProgramHelpAndVersion) {
  const char *const programs[] = {"audcore",   "audpanel", "kvltest", "kvlupdate",
                                  "kvlsim",    "audstart", "audstop", "kvlcfg"};
  for (const char *name : programs) {
    const std::string p = name;
    for (const char *flag : {"--help", "--version"}) {
      kvltest::RunResult r = run({bin(name), flag}, {"KVL_SIMROOT="});
      EXPECT_EQ(r.status, 0) << p << " " << flag << "\n" << r.err;
      EXPECT_EQ(r.err, "") << p << " " << flag;
      if (std::string(flag) == "--version") {
        EXPECT_EQ(r.out, p + " (Kelvane) " KVL_PACKAGE_VERSION "\n");
        continue;
      }
      EXPECT_EQ(r.out.rfind("Usage: " + p, 0), 0u) << r.out;
      EXPECT_NE(r.out.find("\n       " + p + " --help | --version\n"), std::string::npos) << r.out;
      EXPECT_EQ(r.out.back(), '\n') << p;
    }
  }
}

// Anywhere else the letters are an option word as before.
TEST(ProgramInfo, OnlyTheWholeFirstArgument) {
  kvltest::SimMachine m;
  ASSERT_EQ(m.kvlsim("fault", {"--open", "/dev/mixer0", "ENODEV"}).status, 0);
  const std::string letters =
      "Warning: Unrecognized option h\nWarning: Unrecognized option e\n"
      "Warning: Unrecognized option l\nWarning: Unrecognized option p\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err_start;
  } cases[] = {
      {{"audcore", "--helpx"}, 255, "",
       letters + bin("audcore") + ": This program should not used manually.\n"},
      {{"audcore", "--version", "/nowhere"}, 0, "audcore (Kelvane) " KVL_PACKAGE_VERSION "\n", ""},
      {{"audpanel", "-v", "--help"}, 255, "", letters + "/dev/mixer0: "},
      {{"audpanel", "--help-me"}, 255, "", letters + "Warning: Unrecognized option m\n"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> argv = c.args;
    argv[0] = bin(argv[0]);
    kvltest::RunResult r = run(argv, {m.env()});
    EXPECT_EQ(r.status, c.status) << c.args[1] << "\n" << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[1];
    EXPECT_EQ(r.err.substr(0, c.err_start.size()), c.err_start) << c.args[1];
    if (c.err_start.empty()) {
      EXPECT_EQ(r.err, "");
    }
  }
}

}  // namespace
