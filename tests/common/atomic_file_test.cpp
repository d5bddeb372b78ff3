// replace_file honours the file it replaces: links, write permission, mode,
// owner and group; and the temporary files of killed writers do not pile up.
#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using kvltest::read_file;
using kvltest::write_file;

constexpr uid_t kNobody = 65534;

// Names in dir, sorted.
std::vector<std::string> names_in(const std::string &dir) {
  std::vector<std::string> v;
  for (const auto &e : fs::directory_iterator(dir)) v.push_back(e.path().filename().string());
  std::sort(v.begin(), v.end());
  return v;
}

TEST(ReplaceFile, SymbolicLinksKeepNamingTheFileWritten) {
  kvltest::TempDir d;
  fs::create_directories(d / "etc");
  fs::create_directories(d / "real");
  write_file(d / "real/devices.cfg", "old\n");
  fs::create_symlink("../real/devices.cfg", d / "etc/link1");  // relative, and a link to a link
  fs::create_symlink("link1", d / "etc/devices.cfg");
  ASSERT_EQ(kvl::replace_file((d / "etc/devices.cfg").c_str(), "new\n"), 0) << std::strerror(errno);
  EXPECT_TRUE(fs::is_symlink(d / "etc/devices.cfg"));
  EXPECT_TRUE(fs::is_symlink(d / "etc/link1"));
  EXPECT_EQ(read_file(d / "real/devices.cfg"), "new\n");
  EXPECT_EQ(names_in(d / "real"), std::vector<std::string>{"devices.cfg"});

  // A dangling link makes its target, as writing through it would.
  fs::create_symlink("../real/modules.cfg", d / "etc/modules.cfg");
  ASSERT_EQ(kvl::replace_file((d / "etc/modules.cfg").c_str(), "pnp\n", false, 0644), 0);
  EXPECT_TRUE(fs::is_symlink(d / "etc/modules.cfg"));
  EXPECT_EQ(read_file(d / "real/modules.cfg"), "pnp\n");

  // A loop of links is refused.
  fs::create_symlink("loop", d / "etc/loop");
  EXPECT_EQ(kvl::replace_file((d / "etc/loop").c_str(), "x"), -1);
  EXPECT_EQ(errno, ELOOP);
}

TEST(ReplaceFile, KeepsModeOwnerAndGroupAndGivesNewFilesTheirMode) {
  kvltest::TempDir d;
  std::string path = d / "devices.cfg";
  write_file(path, "old\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path.c_str(), 1234, 5678), 0);
  }
  ASSERT_EQ(kvl::replace_file(path.c_str(), "new\n"), 0) << std::strerror(errno);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
  }
  EXPECT_EQ(read_file(path), "new\n");

  std::string fresh = d / "modules.cfg";
  mode_t mask = umask(0077);
  ASSERT_EQ(kvl::replace_file(fresh.c_str(), "", true, 0644), 0);
  umask(mask);
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// The save of a read-only file by a user who is not root, in a folder that
// user may write: run in a child that has become nobody when we are root.
TEST(ReplaceFile, ReadOnlyFileOfAnotherUserIsRefusedAsOpenWouldRefuseIt) {
  kvltest::TempDir d;
  ASSERT_EQ(chmod(d.path().c_str(), 0755), 0);
  std::string etc = d / "etc", path = d / "etc/devices.cfg";
  fs::create_directories(etc);
  ASSERT_EQ(chmod(etc.c_str(), 0777), 0);  // the folder is writable: only the file's mode stops it
  write_file(path, "old\n");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);

  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
         setresuid(kNobody, kNobody, kNobody) != 0))
      _exit(100);
    if (kvl::replace_file(path.c_str(), "new\n") == 0) _exit(0);
    _exit(errno == EACCES ? 1 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 100) << "could not become user " << kNobody;
  EXPECT_EQ(WEXITSTATUS(status), 1) << "0: saved; 2: another error than EACCES";
  EXPECT_EQ(read_file(path), "old\n");
  EXPECT_EQ(names_in(etc), std::vector<std::string>{"devices.cfg"});
  EXPECT_EQ(std::string(std::strerror(EACCES)), "Permission denied");  // the message callers print
}

TEST(ReplaceFile, TemporaryFilesOfKilledWritersAreRemovedOthersStay) {
  kvltest::TempDir d;
  std::string path = d / "devices.cfg";
  write_file(path, "old\n");

  // A writer killed in the middle of its save leaves its temporary file.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    write_file(path + ".tmp." + std::to_string(getpid()) + ".a1B2c3", "half wr");
    write_file(path + ".tmp." + std::to_string(getpid()), "an earlier version's name");
    raise(SIGKILL);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  // One of a writer that still runs, one that an earlier process of this
  // one's id left, those of another file and names that hold no id.
  std::string dead = std::to_string(pid), alive = std::to_string(getppid());
  std::vector<std::string> stay = {"devices.cfg",
                                   "devices.cfg.tmp." + alive + ".Zz9Yy8",
                                   "modules.cfg.tmp." + dead + ".a1B2c3",
                                   "devices.cfg.tmp." + dead + ".toolong",
                                   "devices.cfg.tmp.x" + dead};
  for (size_t i = 1; i < stay.size(); i++) write_file(d / stay[i], "stays");
  write_file(path + ".tmp." + std::to_string(getpid()) + ".q7W8e9", "ours, stale");
  ASSERT_EQ(names_in(d.path()).size(), stay.size() + 3);

  ASSERT_EQ(kvl::replace_file(path.c_str(), "new\n"), 0);
  EXPECT_EQ(read_file(path), "new\n");
  std::sort(stay.begin(), stay.end());
  EXPECT_EQ(names_in(d.path()), stay);
}

TEST(ReplaceFile, NamesPlantedWhereTheTemporaryFileMightGoAreNoObstacle) {
  // Folders and links named as the temporary file of this process would have
  // been named: the save still writes the file, and touches none of them.
  kvltest::TempDir d;
  std::string path = d / "pnpres.dat", pid = std::to_string(getpid());
  fs::create_directories(d / ("pnpres.dat.tmp." + pid));
  fs::create_directories(d / ("pnpres.dat.tmp." + pid + ".XXXXXX"));
  write_file(d / "victim", "keep\n");
  fs::create_symlink(d / "victim", d / ("pnpres.dat.tmp." + pid + ".000000"));

  ASSERT_EQ(kvl::replace_file(path.c_str(), "new\n", false), 0) << std::strerror(errno);
  EXPECT_EQ(read_file(path), "new\n");
  EXPECT_EQ(read_file(d / "victim"), "keep\n");
  EXPECT_TRUE(fs::is_directory(d / ("pnpres.dat.tmp." + pid)));
}

TEST(LogFile, MadeAfreshWhateverStoodInItsPlace) {
  struct Case {
    const char *name;
    void (*plant)(const std::string &log, const std::string &victim);
    bool made;
  } cases[] = {
      {"nothing", [](const std::string &, const std::string &) {}, true},
      {"an old log", [](const std::string &log, const std::string &) { write_file(log, "old\n"); }, true},
      {"a link", [](const std::string &log, const std::string &v) { fs::create_symlink(v, log); }, true},
      {"a hard link",
       [](const std::string &log, const std::string &v) { ASSERT_EQ(link(v.c_str(), log.c_str()), 0); }, true},
      {"a pipe", [](const std::string &log, const std::string &) { ASSERT_EQ(mkfifo(log.c_str(), 0666), 0); },
       true},
      {"a folder", [](const std::string &log, const std::string &) { fs::create_directory(log); }, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    kvltest::TempDir d;
    std::string log = d / "kvltest.log", victim = d / "victim";
    write_file(victim, "keep\n");
    c.plant(log, victim);
    int fd = kvl::create_log_file(log.c_str());
    if (!c.made) {
      EXPECT_EQ(fd, -1);
      EXPECT_EQ(errno, EISDIR);
      continue;
    }
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(write(fd, "new\n", 4), 4);
    close(fd);
    EXPECT_EQ(read_file(log), "new\n");
    EXPECT_EQ(read_file(victim), "keep\n");
    struct stat st;
    ASSERT_EQ(lstat(log.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_nlink, 1u);
  }
}

TEST(LogFile, ReplacingALogNeverFollowsALink) {
  kvltest::TempDir d;
  std::string log = d / "pnpres.dat", victim = d / "victim";
  write_file(victim, "keep\n");
  fs::create_symlink(victim, log);
  ASSERT_EQ(kvl::replace_log_file(log.c_str(), "new\n"), 0);
  EXPECT_EQ(read_file(victim), "keep\n");
  EXPECT_FALSE(fs::is_symlink(log));
  EXPECT_EQ(read_file(log), "new\n");
  fs::remove(log);
  fs::create_directory(log);
  EXPECT_EQ(kvl::replace_log_file(log.c_str(), "new\n"), -1);
  EXPECT_EQ(errno, EISDIR);
}

}  // namespace
