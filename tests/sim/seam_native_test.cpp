// The native backend against a temporary folder: only what it adds to the
// plain system calls.
#include "support.h"
#include "sys/sys.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// This process runs natively.
const bool g_native = (unsetenv("KVL_SIMROOT"), kvl::sys_use_native(), true);

using kvltest::TempDir;

TEST(NativeSeam, PathsStayAsGiven) {
  ASSERT_TRUE(g_native);
  EXPECT_FALSE(kvl::sys_simulated());
  char out[32];
  ASSERT_EQ(kvl::sys_path("/dev/mixer0", out, sizeof out), 0);
  EXPECT_STREQ(out, "/dev/mixer0");
  char tiny[8];
  EXPECT_EQ(kvl::sys_path("/dev/mixer0", tiny, sizeof tiny), -1);
  EXPECT_EQ(errno, ENAMETOOLONG);
}

TEST(NativeSeam, FilesLinksAndErrors) {
  TempDir t;
  std::string f = t / "file", l = t / "link";
  int fd = kvl::sys_open(f.c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(kvl::sys_write(fd, "abc", 3), 3);
  struct stat st;
  ASSERT_EQ(kvl::sys_fstat(fd, &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_size, 3);
  EXPECT_EQ(kvl::sys_close(fd), 0);

  ASSERT_EQ(kvl::sys_symlink(f.c_str(), l.c_str()), 0);
  ASSERT_EQ(kvl::sys_lstat(l.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(kvl::sys_chmod(f.c_str(), 0640), 0);
  ASSERT_EQ(kvl::sys_stat(l.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // A request on a plain file is refused by the kernel, not faked.
  fd = kvl::sys_open(f.c_str(), O_RDONLY);
  int v = 0;
  EXPECT_EQ(kvl::sys_ioctl(fd, 0x20046301u, &v), -1);
  EXPECT_EQ(errno, ENOTTY);
  kvl::sys_close(fd);

  EXPECT_EQ(kvl::sys_unlink(f.c_str()), 0);
  EXPECT_EQ(kvl::sys_stat(f.c_str(), &st), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(kvl::sys_open((t / "missing").c_str(), O_RDWR), -1);
  EXPECT_EQ(errno, ENOENT);
}

// Device numbers come back in the driver's encoding. /dev/null is a real
// character device (1, 3) on every Linux machine.
TEST(NativeSeam, DeviceNumbersInDriverEncoding) {
  struct stat st;
  ASSERT_EQ(kvl::sys_stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, (1u << 8) | 3u);
}

// Making a node needs privileges; with them, the number round-trips.
TEST(NativeSeam, MknodRoundTrip) {
  TempDir t;
  std::string n = t / "node";
  if (kvl::sys_mknod(n.c_str(), S_IFCHR | 0600, (14u << 8) | 19u) < 0) {
    GTEST_SKIP() << "mknod needs privileges here";
  }
  struct stat st;
  ASSERT_EQ(kvl::sys_stat(n.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, (14u << 8) | 19u);
}

}  // namespace
