// Which files of commands only root, the running user and the installation's
// owner can change: the file, every folder on the way and every link met.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "common/file_trust.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kOther = 1234;  // a user who is neither root nor the owner
constexpr uid_t kOwner = 4321;  // the installation's owner in some cases

// A file of commands at DIR/etc/mixer.map, as the cases lay it out under a
// temporary folder T: DIR is T/kvl.
struct Layout {
  kvltest::TempDir t;
  std::string dir = t / "kvl";
  std::string file = dir + "/etc/mixer.map";
  Layout() {
    fs::create_directories(dir + "/etc");
    fs::create_directories(t / "shared");
    kvltest::write_file(t / "shared/real.map", "!mixset a\n");
    chmod((t / "shared/real.map").c_str(), 0644);
  }
  void mode(const std::string &path, mode_t m) const { ASSERT_EQ(chmod(path.c_str(), m), 0); }
  void owner(const std::string &path, uid_t uid) const {
    ASSERT_EQ(lchown(path.c_str(), uid, 0), 0);
  }
  void plain() const {
    kvltest::write_file(file, "!mixset a\n");
    mode(file, 0644);
  }
  void link_to(const std::string &target, const std::string &at) const {
    fs::create_symlink(target, at);
  }
  int judge(uid_t install_owner = 0) const {
    kvl::TrustedOwners owners;
    owners.owner = install_owner;
    return kvl::commands_file_trusted(file.c_str(), owners);
  }
};

TEST(FileTrust, EveryFolderAndLinkOnTheWayCounts) {
  if (geteuid() != 0) GTEST_SKIP() << "the cases give files to other users";
  struct Case {
    const char *name;
    std::function<void(const Layout &)> lay;
    uid_t install_owner;
    int trusted;
  } cases[] = {
      {"0644 in 0755", [](const Layout &l) { l.plain(); }, 0, 1},
      {"0600 in 0700", [](const Layout &l) { l.plain(); l.mode(l.file, 0600); l.mode(l.dir + "/etc", 0700); }, 0, 1},
      {"group-writable file", [](const Layout &l) { l.plain(); l.mode(l.file, 0664); }, 0, 0},
      {"file writable by others", [](const Layout &l) { l.plain(); l.mode(l.file, 0646); }, 0, 0},
      {"group-writable folder", [](const Layout &l) { l.plain(); l.mode(l.dir + "/etc", 0775); }, 0, 0},
      {"file of another user", [](const Layout &l) { l.plain(); l.owner(l.file, kOther); }, 0, 0},
      {"file of the installation's owner",
       [](const Layout &l) { l.plain(); l.owner(l.file, kOwner); l.owner(l.dir, kOwner); }, kOwner, 1},
      {"folder above the installation writable by others",
       [](const Layout &l) { l.plain(); l.mode(l.t.path(), 0777); }, 0, 0},
      {"folder above the installation of another user",
       [](const Layout &l) { l.plain(); l.owner(l.t.path(), kOther); }, 0, 0},
      {"sticky folder holding the file",
       [](const Layout &l) { l.plain(); l.mode(l.dir + "/etc", 01777); }, 0, 1},
      {"sticky folder on the way, its entry root's",
       [](const Layout &l) { l.plain(); l.mode(l.t.path(), 01777); }, 0, 1},
      {"sticky folder on the way, its entry another user's",
       [](const Layout &l) { l.plain(); l.mode(l.t.path(), 01777); l.owner(l.dir, kOther); }, 0, 0},
      {"link to a root file in a safe folder",
       [](const Layout &l) { l.link_to("../../shared/real.map", l.file); }, 0, 1},
      {"link to a root file in a folder writable by others",
       [](const Layout &l) { l.link_to(l.t / "shared/real.map", l.file); l.mode(l.t / "shared", 0777); }, 0, 0},
      {"link of another user in a world-writable folder, then a root file in a safe one",
       [](const Layout &l) {
         kvltest::write_file(l.dir + "/etc/real.map", "!mixset a\n");
         l.mode(l.dir + "/etc/real.map", 0644);
         l.link_to(l.t / "shared/hop", l.file);
         l.link_to(l.dir + "/etc/real.map", l.t / "shared/hop");
         l.owner(l.t / "shared/hop", kOther);
         l.mode(l.t / "shared", 01777);
       }, 0, 0},
      {"link of root in a sticky folder, then a root file",
       [](const Layout &l) {
         l.link_to(l.t / "shared/hop", l.file);
         l.link_to("real.map", l.t / "shared/hop");
         l.mode(l.t / "shared", 01777);
       }, 0, 1},
      {"link of another user in the installation",
       [](const Layout &l) { l.link_to(l.t / "shared/real.map", l.file); l.owner(l.file, kOther); }, 0, 0},
      {"link to a folder of another user, then a root file",
       [](const Layout &l) {
         fs::create_directories(l.t / "shared/sub");
         kvltest::write_file(l.t / "shared/sub/real.map", "!x\n");
         l.owner(l.t / "shared/sub", kOther);
         l.link_to("../../shared/sub/../sub/real.map", l.file);
       }, 0, 0},
      {"way through .. and a linked folder",
       [](const Layout &l) {
         l.link_to(l.t / "shared", l.dir + "/etc/sh");
         l.link_to("sh/../shared/real.map", l.file);
       }, 0, 1},
      {"not a plain file", [](const Layout &l) { ASSERT_EQ(mkfifo(l.file.c_str(), 0644), 0); }, 0, 0},
      {"missing", [](const Layout &) {}, 0, -1},
      {"dangling link", [](const Layout &l) { l.link_to("nothing", l.file); }, 0, -1},
      {"loop of links",
       [](const Layout &l) { l.link_to("b", l.file); l.link_to("mixer.map", l.dir + "/etc/b"); }, 0, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Layout l;
    c.lay(l);
    EXPECT_EQ(l.judge(c.install_owner), c.trusted);
  }
}

TEST(FileTrust, RelativePathsStartAtTheWorkingFolder) {
  Layout l;
  l.plain();
  std::string was = fs::current_path();
  fs::current_path(l.dir);
  kvl::TrustedOwners owners;
  EXPECT_EQ(kvl::commands_file_trusted("etc/mixer.map", owners), 1);
  l.mode(l.t.path(), 0777);  // above the working folder
  EXPECT_EQ(kvl::commands_file_trusted("./etc/../etc/mixer.map", owners), 0);
  fs::current_path(was);
}

TEST(FileTrust, InstallationOwnerIsTheFoldersOwner) {
  if (geteuid() != 0) GTEST_SKIP() << "gives the folder to another user";
  Layout l;
  l.owner(l.dir, kOwner);
  kvl::TrustedOwners owners;
  ASSERT_EQ(kvl::install_owners(l.dir.c_str(), &owners), 0);
  EXPECT_EQ(owners.owner, kOwner);
  EXPECT_EQ(kvl::install_owners((l.dir + "/none").c_str(), &owners), -1);
}

}  // namespace
