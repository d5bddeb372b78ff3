// The simulated backend, as programs see it through the seam. Every test
// re-initialises this process's machine directory and chooses it.
#include "driver/driver.h"
#include "support.h"
#include "sys/sys.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

using kvltest::bin;
using kvltest::read_file;
using kvltest::run;

const std::string &root() { return kvltest::in_process_machine(); }

class SimSeam : public ::testing::Test {
 protected:
  void SetUp() override {
    auto r = run({bin("kvlsim"), "init", root(), "--kvllibdir", "/opt/kvl"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(kvl::sys_use_machine(root().c_str()), 0);
  }
  static std::string journal() { return read_file(root() + "/journal.jsonl"); }
  static void kvlsim(const std::vector<std::string> &args) {
    std::vector<std::string> argv = {bin("kvlsim"), args[0], root()};
    argv.insert(argv.end(), args.begin() + 1, args.end());
    auto r = run(argv);
    ASSERT_EQ(r.status, 0) << r.err;
  }
};

TEST_F(SimSeam, SystemPathsMapIntoTheMachine) {
  EXPECT_TRUE(kvl::sys_simulated());
  char out[4096];
  ASSERT_EQ(kvl::sys_path("/dev/dsp0", out, sizeof out), 0);
  EXPECT_EQ(std::string(out), root() + "/dev/dsp0");
  ASSERT_EQ(kvl::sys_path("/etc/kvl.conf", out, sizeof out), 0);
  EXPECT_EQ(std::string(out), root() + "/etc/kvl.conf");
  ASSERT_EQ(kvl::sys_path("/device", out, sizeof out), 0);
  EXPECT_STREQ(out, "/device");

  FILE *f = kvl::sys_fopen("/etc/kvl.conf", "r");
  ASSERT_NE(f, nullptr);
  char line[256] = "";
  ASSERT_NE(fgets(line, sizeof line, f), nullptr);
  fclose(f);
  EXPECT_STREQ(line, "KVLLIBDIR=/opt/kvl\n");
}

// A test may choose another machine, and the native backend, for a while.
TEST_F(SimSeam, EachChoiceAnswersFromItsMachine) {
  kvltest::SimMachine other(R"({"version": "0x039998"})");
  ASSERT_EQ(kvl::sys_use_machine(other.root().c_str()), 0);
  int32_t version = 0;
  int fd = kvl::sys_open("/dev/mixer0", O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(kvl::sys_ioctl(fd, kvl::CTL_GET_VERSION, &version), 0);
  EXPECT_EQ(version, 0x039998);
  kvl::sys_close(fd);
  EXPECT_EQ(other.requests("Get version").size(), 1u);

  kvl::sys_use_native();
  EXPECT_FALSE(kvl::sys_simulated());
  char out[64];
  ASSERT_EQ(kvl::sys_path("/dev/mixer0", out, sizeof out), 0);
  EXPECT_STREQ(out, "/dev/mixer0");

  ASSERT_EQ(kvl::sys_use_machine(root().c_str()), 0);
  fd = kvl::sys_open("/dev/mixer0", O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(kvl::sys_ioctl(fd, kvl::CTL_GET_VERSION, &version), 0);
  EXPECT_EQ(version, kvl::DRIVER_VERSION);
  kvl::sys_close(fd);
  EXPECT_EQ(journal(), "{\"request\":\"Get version\",\"result\":0,\"errno\":null,\"version\":235929}\n");
  EXPECT_EQ(other.requests("Get version").size(), 1u);

  // A machine path that cannot be mapped leaves the choice as it was.
  EXPECT_EQ(kvl::sys_use_machine(std::string(PATH_MAX, 'm').c_str()), -1);
  EXPECT_EQ(errno, ENAMETOOLONG);
  EXPECT_EQ(kvl::sys_use_machine(""), -1);
  EXPECT_EQ(errno, EINVAL);
  char buf[4096];
  ASSERT_EQ(kvl::sys_path("/dev/mixer0", buf, sizeof buf), 0);
  EXPECT_EQ(std::string(buf), root() + "/dev/mixer0");
}

TEST_F(SimSeam, NodesAreFilesThatStatAsCharacterDevices) {
  struct stat st;
  ASSERT_EQ(kvl::sys_stat("/dev/mixer0", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, 14u << 8);
  EXPECT_EQ(st.st_mode & 07777, 0666u);

  // Created with the type bits only, then given its mode, as start-up does.
  ASSERT_EQ(kvl::sys_mknod("/dev/dsp1", S_IFCHR, (14u << 8) | 19u), 0);
  EXPECT_EQ(read_file(root() + "/dev/dsp1"), "KVLSIM-CHR 14 19\n");
  ASSERT_EQ(kvl::sys_chmod("/dev/dsp1", 0622), 0);
  ASSERT_EQ(kvl::sys_lstat("/dev/dsp1", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, (14u << 8) | 19u);
  EXPECT_EQ(st.st_mode & 07777, 0622u);

  EXPECT_EQ(kvl::sys_mknod("/dev/dsp1", S_IFCHR | 0666, 14u << 8), -1);
  EXPECT_EQ(errno, EEXIST);
  ASSERT_EQ(kvl::sys_unlink("/dev/dsp1"), 0);
  EXPECT_EQ(kvl::sys_stat("/dev/dsp1", &st), -1);
  EXPECT_EQ(errno, ENOENT);

  // A file that only resembles a node stays a regular file, also when it
  // differs by NUL bytes after the node's text.
  for (std::string text : {std::string("KVLSIM-CHR 14 3 extra\n"),
                           std::string("KVLSIM-CHR 14 3\n\0\0", 18)}) {
    kvltest::write_file(root() + "/dev/fake", text);
    ASSERT_EQ(kvl::sys_stat("/dev/fake", &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << text.size();
  }
}

TEST_F(SimSeam, LinksToDevResolveInsideTheMachine) {
  ASSERT_EQ(kvl::sys_mknod("/dev/dsp0", S_IFCHR | 0666, (14u << 8) | 3u), 0);
  ASSERT_EQ(kvl::sys_symlink("/dev/dsp0", "/dev/dsp"), 0);
  char target[256] = "";
  ASSERT_GT(readlink((root() + "/dev/dsp").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "dsp0");
  struct stat st;
  ASSERT_EQ(kvl::sys_stat("/dev/dsp", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, (14u << 8) | 3u);
  ASSERT_EQ(kvl::sys_lstat("/dev/dsp", &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  // An existing link is left alone by a second attempt.
  EXPECT_EQ(kvl::sys_symlink("/dev/dsp0", "/dev/dsp"), -1);
  EXPECT_EQ(errno, EEXIST);
}

TEST_F(SimSeam, ControlDeviceAnswersRequests) {
  int fd = kvl::sys_open("/dev/mixer0", O_RDWR);
  ASSERT_GE(fd, 0);
  struct stat st;
  ASSERT_EQ(kvl::sys_fstat(fd, &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, 14u << 8);
  int32_t version = 0;
  ASSERT_EQ(kvl::sys_ioctl(fd, kvl::CTL_GET_VERSION, &version), 0);
  EXPECT_EQ(version, kvl::DRIVER_VERSION);
  // Writing to a device never touches the node file.
  EXPECT_EQ(kvl::sys_write(fd, "xyz", 3), 3);
  char buf[8];
  EXPECT_EQ(kvl::sys_read(fd, buf, sizeof buf), 0);
  EXPECT_EQ(kvl::sys_close(fd), 0);
  EXPECT_EQ(read_file(root() + "/dev/mixer0"), "KVLSIM-CHR 14 0\n");
  EXPECT_EQ(journal(), "{\"request\":\"Get version\",\"result\":0,\"errno\":null,\"version\":235929}\n");
}

// A process keeps the machine it read, but sees a machine.json that was
// replaced since.
TEST_F(SimSeam, ReplacedMachineIsReadAgain) {
  int32_t version = 0;
  int fd = kvl::sys_open("/dev/mixer0", O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(kvl::sys_ioctl(fd, kvl::CTL_GET_VERSION, &version), 0);
  EXPECT_EQ(version, kvl::DRIVER_VERSION);
  kvltest::TempDir tmp;
  kvltest::write_file(tmp / "m.json", R"({"version": "0x039998"})");
  auto r = run({bin("kvlsim"), "init", root(), tmp / "m.json"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(kvl::sys_ioctl(fd, kvl::CTL_GET_VERSION, &version), 0);
  EXPECT_EQ(version, 0x039998);
  kvl::sys_close(fd);
}

TEST_F(SimSeam, UnloadedDriverRefusesItsDevices) {
  kvlsim({"mknod", "/dev/other", "1", "3", "0666"});
  kvlsim({"unload"});
  EXPECT_EQ(kvl::sys_open("/dev/mixer0", O_RDWR), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(kvl::sys_open("/dev/mixer1", O_RDWR), -1);
  EXPECT_EQ(errno, ENOENT);
  int fd = kvl::sys_open("/dev/other", O_RDWR);  // another driver's node
  EXPECT_GE(fd, 0);
  kvl::sys_close(fd);
  kvlsim({"load"});
  fd = kvl::sys_open("/dev/mixer0", O_RDWR);
  EXPECT_GE(fd, 0);
  kvl::sys_close(fd);
}

TEST_F(SimSeam, OpenFaultFailsOnlyThatPath) {
  kvlsim({"fault", "--open", "/dev/mixer0", "EACCES"});
  EXPECT_EQ(kvl::sys_open("/dev/mixer0", O_RDWR), -1);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(kvl::sys_open("/dev/mixer0", O_RDONLY), -1);
  FILE *f = kvl::sys_fopen("/etc/kvl.conf", "r");
  EXPECT_NE(f, nullptr);
  if (f) fclose(f);
}

TEST_F(SimSeam, SequencerCapturesWritesAndSyncIsJournalled) {
  ASSERT_EQ(kvl::sys_mknod("/dev/sequencer", S_IFCHR | 0666, (14u << 8) | 1u), 0);
  int fd = kvl::sys_open("/dev/sequencer", O_WRONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(kvl::sys_write(fd, "\x01\x02", 2), 2);
  EXPECT_EQ(kvl::sys_write(fd, "\x03", 1), 1);
  int32_t n = -1;
  ASSERT_EQ(kvl::sys_ioctl(fd, kvl::SNDCTL_SEQ_NRSYNTHS, &n), 0);
  EXPECT_EQ(n, 1);  // the demo machine's OPL
  kvl::sys_close(fd);
  EXPECT_EQ(read_file(root() + "/sequencer.capture"), "\x01\x02\x03");
  EXPECT_EQ(read_file(root() + "/dev/sequencer"), "KVLSIM-CHR 14 1\n");

  kvl::sys_sync();
  std::string j = journal();
  EXPECT_NE(j.find("{\"request\":\"sync\"}\n"), std::string::npos) << j;
}

}  // namespace
