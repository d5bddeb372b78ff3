// The simulator when its files cannot be written: a full disk, a file-size
// limit, a lock held by a process that does not let go.
#include "sim/seqsim.h"
#include "sim/simdir.h"
#include "simtest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

namespace {

using kvltest::SimMachine;

const char *kOneDriver = R"({"drivers": [{"name": "a", "key": 7}]})";

// A state.json of exactly size bytes, as the simulator writes it (options
// padded with one long text).
std::string padded_state(size_t size) {
  nlohmann::ordered_json s = kvl::state_fresh();
  s["options"] = {{"pad", ""}};
  size_t bare = s.dump(2).size() + 1;
  s["options"]["pad"] = std::string(size - bare, 'x');
  return s.dump(2) + "\n";
}

int request(const std::string &root, uint32_t code, void *arg) {
  errno = 0;
  int rc = kvl::sim_request(root.c_str(), 0, code, arg);
  return rc < 0 ? -errno : rc;
}

// Runs body in a child process; its failures make the child exit 1, 77 means
// "cannot be tried here". Returns the child's wait status.
template <typename Body>
int in_child(Body body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int rc = body();
    _exit(rc ? rc : testing::Test::HasFailure() ? 1 : 0);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  return st;
}

// The journal's last line, and whether every line is JSON.
nlohmann::json last_line(const std::string &root, bool *all_json) {
  std::string text = kvltest::read_file(root + "/journal.jsonl");
  nlohmann::json last;
  *all_json = !text.empty() && text.back() == '\n';
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    last = nlohmann::json::parse(text.substr(start, nl - start), nullptr, false);
    if (last.is_discarded()) *all_json = false;
  }
  return last;
}

// A request whose state cannot be saved because the disk is full fails with
// ENOSPC, and the journal says so; state.json keeps what it held.
TEST(SaveFailure, DiskFullIsJournalledAsFailed) {
  SimMachine m(kOneDriver);
  std::string dir = m.root() + "/full";
  std::filesystem::create_directory(dir);
  int st = in_child([&] {
    // A small file system of its own, seen by this process only.
    if (unshare(CLONE_NEWNS) < 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) < 0 ||
        mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") < 0)
      return 77;
    kvltest::write_file(dir + "/machine.json", kOneDriver);
    int32_t v = 0;
    EXPECT_EQ(request(dir, kvl::CTL_GET_VERSION, &v), 0);  // state, mirror and journal made
    // state.json a few bytes short of a page, so one more option needs a
    // page the full disk does not have; the journal has room in its page.
    const std::string before = padded_state(4091);
    kvltest::write_file(dir + "/state.json", before);
    int fd = open((dir + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    char block[4096] = {};
    while (write(fd, block, sizeof block) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    close(fd);

    kvl::OptionRequest o{1, 1};
    testing::internal::CaptureStderr();
    EXPECT_EQ(request(dir, kvl::CTL_SET_OPTION, &o), -ENOSPC);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "kvlsim: " + dir + "/state.json: No space left on device\n");
    bool all_json = false;
    nlohmann::json last = last_line(dir, &all_json);
    EXPECT_TRUE(all_json);
    EXPECT_EQ(last["request"], "Set ioctl");
    EXPECT_EQ(last["result"], -1);
    EXPECT_EQ(last["errno"], "ENOSPC");
    EXPECT_EQ(last["id"], 1);
    EXPECT_EQ(kvltest::read_file(dir + "/state.json"), before);
    return 0;
  });
  if (WIFEXITED(st) && WEXITSTATUS(st) == 77) GTEST_SKIP() << "no private tmpfs mount here";
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "status " << st;
}

// Under a file-size limit the process is not killed by SIGXFSZ: a state
// beyond the limit fails the request with EFBIG (journalled), and a journal
// line that would cross the limit is not written at all.
TEST(SaveFailure, FileSizeLimitGivesEfbigAndWholeLines) {
  SimMachine m(kOneDriver);
  std::string root = m.root();
  int32_t v = 0;
  ASSERT_EQ(simtest::req(m, kvl::CTL_GET_VERSION, &v), 0);
  const std::string before = padded_state(2000);
  kvltest::write_file(root + "/state.json", before);
  int st = in_child([&] {
    struct rlimit lim = {2010, 2010};
    if (setrlimit(RLIMIT_FSIZE, &lim) < 0) return 77;
    kvl::OptionRequest o{12345, 67890};
    testing::internal::CaptureStderr();
    EXPECT_EQ(request(root, kvl::CTL_SET_OPTION, &o), -EFBIG);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("state.json: File too large"),
              std::string::npos);
    bool all_json = false;
    nlohmann::json last = last_line(root, &all_json);
    EXPECT_EQ(last["request"], "Set ioctl");
    EXPECT_EQ(last["errno"], "EFBIG");
    EXPECT_EQ(kvltest::read_file(root + "/state.json"), before);

    // The journal a few bytes short of the limit: the next line does not fit.
    std::string journal = kvltest::read_file(root + "/journal.jsonl");
    std::string pad = "{\"request\":\"sync\"}\n";
    while (journal.size() + pad.size() < 2000) journal += pad;
    kvltest::write_file(root + "/journal.jsonl", journal);
    testing::internal::CaptureStderr();
    EXPECT_EQ(request(root, kvl::CTL_GET_VERSION, &v), -EFBIG);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("journal.jsonl: File too large"),
              std::string::npos);
    EXPECT_EQ(kvltest::read_file(root + "/journal.jsonl"), journal);
    return 0;
  });
  if (WIFEXITED(st) && WEXITSTATUS(st) == 77) GTEST_SKIP() << "no file-size limit here";
  EXPECT_TRUE(WIFEXITED(st)) << "killed by signal " << WTERMSIG(st);
  EXPECT_EQ(WEXITSTATUS(st), 0);
  bool all_json = false;
  last_line(root, &all_json);
  EXPECT_TRUE(all_json);
}

// A program started under a file-size limit that the machine's files reach
// during start-up reports the failed request and ends; it is not killed by
// SIGXFSZ, and the journal stays whole JSON lines.
TEST(SaveFailure, StartupUnderFileSizeLimitReportsInsteadOfDying) {
  SimMachine m;  // the demo machine
  kvltest::TempDir install;
  std::string config =
      kvltest::read_file(std::string(KVL_SOURCE_DIR) + "/data/etc/devices.cfg");
  ASSERT_FALSE(config.empty());
  // 2 blocks of 512 bytes: the journal passes 1024 bytes within start-up.
  auto r = kvltest::run({"/bin/sh", "-c", "ulimit -f 2 && exec \"$0\" -vvv \"$1\"",
                         kvltest::bin("audcore"), install.path()},
                        {m.env()}, config);
  EXPECT_EQ(r.status, 255) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  bool all_json = false;
  nlohmann::json last = last_line(m.root(), &all_json);
  EXPECT_TRUE(all_json);
  EXPECT_LE(kvltest::read_file(m.root() + "/journal.jsonl").size(), 1024u);
}

// A lock held by a process that hangs ends the wait with EBUSY and a line
// naming the machine. (The simulator waits 10 s; here the wait is short.)
TEST(SaveFailure, HeldLockEndsWaitWithEbusy) {
  SimMachine m(kOneDriver);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    kvl::SimLock lock(m.root());
    char c = 'x';
    if (write(ready[1], &c, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  auto start = std::chrono::steady_clock::now();
  errno = 0;
  int fd = seqsim_lock_wait(m.root().c_str(), 0, 300);
  auto waited = std::chrono::steady_clock::now() - start;
  int err = errno;
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(err, EBUSY);
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_LT(waited, std::chrono::seconds(10));
  EXPECT_EQ(kvl::lock_problem(m.root(), err), m.root() + " is busy (locked by another process)");
  // A reader's shared lock waits for the writer just the same.
  EXPECT_EQ(seqsim_lock_wait(m.root().c_str(), 1, 50), -1);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  fd = seqsim_lock_wait(m.root().c_str(), 0, 300);
  EXPECT_GE(fd, 0);
  seqsim_unlock(fd);
  close(ready[0]);
  close(ready[1]);
}

}  // namespace
