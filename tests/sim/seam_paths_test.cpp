// One path mapping for both languages: a machine directory given as
// KVL_SIMROOT in any form maps the same paths to the same files through the
// C++ programs' seam and through KVLlib's (seam_paths_c.c, built by the C
// compiler).
#include "seam_paths_c.h"
#include "support.h"
#include "sys/sys.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

using kvltest::TempDir;
using kvltest::write_file;

std::string working_dir() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? buf : "";
}

// Works in a fresh folder (holding the machine folder "m") for one test.
class SeamPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = working_dir();
    ASSERT_EQ(chdir(tmp_.path().c_str()), 0);
    here_ = working_dir();
  }
  void TearDown() override {
    (void)!chdir(old_.c_str());
    unsetenv("KVL_SIMROOT");
  }
  // Both languages choose the machine KVL_SIMROOT names.
  static void choose(const std::string &root) {
    setenv("KVL_SIMROOT", root.c_str(), 1);
    ASSERT_EQ(kvl::sys_use_environment(), 0);
    ASSERT_EQ(c_side_choose(), 0);
  }
  TempDir tmp_;
  std::string old_, here_;
};

struct Mapping {
  const char *path;
  const char *mapped;  // "@" first: inside the machine
};

const Mapping kMappings[] = {
    {"/dev/dsp0", "@/dev/dsp0"},
    {"/dev", "@/dev"},
    {"/dev/", "@/dev/"},
    {"/etc/kvl.conf", "@/etc/kvl.conf"},
    {"/etc", "@/etc"},
    {"/dev/../etc/kvl.conf", "@/dev/../etc/kvl.conf"},
    {"/etc/../../x", "@/etc/../../x"},
    {"/dev/snd/../dsp0", "@/dev/snd/../dsp0"},
    // Names that merely begin like a system folder are no system paths.
    {"/devices/x", "/devices/x"},
    {"/etcx/kvl.conf", "/etcx/kvl.conf"},
    {"/de", "/de"},
    {"//dev/dsp0", "//dev/dsp0"},
    {"dev/dsp0", "dev/dsp0"},
    {"/usr/lib/kvl/etc", "/usr/lib/kvl/etc"},
    {"", ""},
};

TEST_F(SeamPaths, EveryFormOfTheRootMapsAlikeInBothLanguages) {
  // The root as given, and the machine folder it stands for ("+" first:
  // below the working directory the choice was made in).
  const std::pair<std::string, std::string> roots[] = {
      {"m", "+/m"},           {"m/", "+/m"},           {"m//", "+/m"},
      {"./m", "+/./m"},       {"sub/../m", "+/sub/../m"}, {here_ + "/m/", "+/m"},
      {here_ + "//m", "+//m"}, {"/", "/"},
  };
  for (const auto &[given, folder] : roots) {
    SCOPED_TRACE("KVL_SIMROOT=" + given);
    choose(given);
    std::string machine = folder[0] == '+' ? here_ + folder.substr(1) : folder;
    for (const Mapping &m : kMappings) {
      std::string want = m.mapped[0] == '@' ? machine + (m.mapped + 1) : m.mapped;
      char cpp[PATH_MAX], c[PATH_MAX];
      ASSERT_EQ(kvl::sys_path(m.path, cpp, sizeof cpp), 0);
      ASSERT_EQ(c_side_map(m.path, c, sizeof c), 0);
      EXPECT_EQ(cpp, want) << m.path;
      EXPECT_EQ(c, want) << m.path;
    }
  }

  // A relative machine stays where it was when the working directory moves.
  choose("m");
  ASSERT_EQ(chdir("/"), 0);
  char cpp[PATH_MAX], c[PATH_MAX];
  ASSERT_EQ(kvl::sys_path("/dev/mixer0", cpp, sizeof cpp), 0);
  ASSERT_EQ(c_side_map("/dev/mixer0", c, sizeof c), 0);
  EXPECT_EQ(cpp, here_ + "/m/dev/mixer0");
  EXPECT_EQ(c, here_ + "/m/dev/mixer0");
  // Taken from the root folder itself, it has one slash.
  choose("m");
  ASSERT_EQ(kvl::sys_path("/dev/mixer0", cpp, sizeof cpp), 0);
  ASSERT_EQ(c_side_map("/dev/mixer0", c, sizeof c), 0);
  EXPECT_STREQ(cpp, "/m/dev/mixer0");
  EXPECT_STREQ(c, "/m/dev/mixer0");

  // A mapped path that does not fit fails alike.
  char tiny[8];
  EXPECT_EQ(kvl::sys_path("/dev/mixer0", tiny, sizeof tiny), -1);
  EXPECT_EQ(errno, ENAMETOOLONG);
  EXPECT_EQ(c_side_map("/dev/mixer0", tiny, sizeof tiny), -1);
  EXPECT_EQ(errno, ENAMETOOLONG);
}

// What the mapping names is what both seams open: decoys inside the machine
// where a path that is no system path would wrongly land.
TEST_F(SeamPaths, BothLanguagesOpenTheMappedFiles) {
  auto r = kvltest::run({kvltest::bin("kvlsim"), "init", "m"});
  ASSERT_EQ(r.status, 0) << r.err;
  write_file(here_ + "/m/etc/paths.txt", "machine etc\n");
  write_file(here_ + "/m/dev/snd/dsp0", "machine dev\n");
  write_file(here_ + "/m/devices/x", "decoy\n");
  write_file(here_ + "/m/etcx/paths.txt", "decoy\n");
  write_file(here_ + "/other.txt", "outside\n");
  const std::pair<std::string, const char *> files[] = {
      {"/etc/paths.txt", "machine etc\n"},
      {"/etc//paths.txt", "machine etc\n"},
      {"/dev/snd/dsp0", "machine dev\n"},
      {"/dev/../etc/paths.txt", "machine etc\n"},
      {here_ + "/other.txt", "outside\n"},
      {"/devices/x", nullptr},
      {"/etcx/paths.txt", nullptr},
  };
  for (const char *given : {"m//", "./m"}) {
    for (const auto &[path, line] : files) {
      SCOPED_TRACE(std::string(given) + " " + path);
      setenv("KVL_SIMROOT", given, 1);
      ASSERT_EQ(kvl::sys_use_environment(), 0);
      FILE *f = kvl::sys_fopen(path.c_str(), "r");
      char cpp[64] = "", c[64] = "";
      if (f) {
        ASSERT_NE(fgets(cpp, sizeof cpp, f), nullptr);
        fclose(f);
      }
      ASSERT_EQ(c_side_choose(), 0);
      int crc = c_side_first_line(path.c_str(), c, sizeof c);
      if (line) {
        EXPECT_STREQ(cpp, line);
        EXPECT_EQ(crc, 0);
        EXPECT_STREQ(c, line);
      } else {
        EXPECT_EQ(f, nullptr);
        EXPECT_EQ(crc, -1);
        EXPECT_EQ(errno, ENOENT);
      }
    }
  }

  // A relative machine is still opened once the working directory moved.
  choose("m");
  ASSERT_EQ(chdir("/"), 0);
  char cpp[64] = "", c[64] = "";
  FILE *f = kvl::sys_fopen("/etc/paths.txt", "r");
  ASSERT_NE(f, nullptr);
  ASSERT_NE(fgets(cpp, sizeof cpp, f), nullptr);
  fclose(f);
  EXPECT_STREQ(cpp, "machine etc\n");
  ASSERT_EQ(c_side_first_line("/etc/paths.txt", c, sizeof c), 0);
  EXPECT_STREQ(c, "machine etc\n");
}

}  // namespace
