// Which files of commands only root (or the running user) can change: the
// file, its folder, and a link's target folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/file_trust.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

TEST(FileTrust, FileAndFolderModesAndOwners) {
  struct Case {
    const char *name;
    mode_t file_mode, folder_mode;
    uid_t file_owner;  // -1: the running user
    int trusted;
  } cases[] = {
      {"0644 in 0755", 0644, 0755, static_cast<uid_t>(-1), 1},
      {"0600 in 0700", 0600, 0700, static_cast<uid_t>(-1), 1},
      {"group-writable file", 0664, 0755, static_cast<uid_t>(-1), 0},
      {"writable by others", 0646, 0755, static_cast<uid_t>(-1), 0},
      {"group-writable folder", 0644, 0775, static_cast<uid_t>(-1), 0},
      {"sticky folder writable by all", 0644, 01777, static_cast<uid_t>(-1), 0},
      {"owned by another user", 0644, 0755, 1234, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    if (c.file_owner != static_cast<uid_t>(-1) && geteuid() != 0) continue;  // needs chown
    kvltest::TempDir d;
    std::string folder = d / "etc", file = d / "etc/mixer.map";
    fs::create_directories(folder);
    kvltest::write_file(file, "!mixset a\n");
    ASSERT_EQ(chmod(file.c_str(), c.file_mode), 0);
    ASSERT_EQ(chmod(folder.c_str(), c.folder_mode), 0);
    if (c.file_owner != static_cast<uid_t>(-1)) {
      ASSERT_EQ(chown(file.c_str(), c.file_owner, 0), 0);
    }
    EXPECT_EQ(kvl::commands_file_trusted(file.c_str()), c.trusted);
  }
}

TEST(FileTrust, LinkIsJudgedByItsTargetAndBothFolders) {
  kvltest::TempDir d;
  fs::create_directories(d / "etc");
  fs::create_directories(d / "shared");
  kvltest::write_file(d / "shared/mixer.map", "!mixset a\n");
  ASSERT_EQ(chmod((d / "shared/mixer.map").c_str(), 0644), 0);
  ASSERT_EQ(chmod((d / "etc").c_str(), 0755), 0);
  fs::create_symlink("../shared/mixer.map", d / "etc/mixer.map");

  ASSERT_EQ(chmod((d / "shared").c_str(), 0755), 0);
  EXPECT_EQ(kvl::commands_file_trusted((d / "etc/mixer.map").c_str()), 1);
  ASSERT_EQ(chmod((d / "shared").c_str(), 0777), 0);  // anyone may put another file there
  EXPECT_EQ(kvl::commands_file_trusted((d / "etc/mixer.map").c_str()), 0);
  ASSERT_EQ(chmod((d / "shared").c_str(), 0755), 0);
  ASSERT_EQ(chmod((d / "etc").c_str(), 0777), 0);  // or another link in the link's place
  EXPECT_EQ(kvl::commands_file_trusted((d / "etc/mixer.map").c_str()), 0);

  EXPECT_EQ(kvl::commands_file_trusted((d / "etc/none").c_str()), -1);
}

}  // namespace
