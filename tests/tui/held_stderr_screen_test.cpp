// Standard error while the screen is up: held and written out in order once
// the screen ends when it is the screen's terminal, written at once when it
// is a file.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "demo.h"

namespace {

using kvltest::Key;
using kvltest::Terminal;

const std::vector<std::string> kWriters = {"--stderr", "first line", "--child-stderr", "second line",
                                           "--stderr", "third line"};

std::vector<std::string> list_args(const std::vector<std::string> &more) {
  std::vector<std::string> args = {"list", "--title", "Held", "--items", "3", "--button", "  Ok  :use"};
  args.insert(args.end(), kWriters.begin(), kWriters.end());
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Rows of t holding each text, in the order given; false when one is missing
// or they are out of order.
bool in_order(const Terminal &t, const std::vector<std::string> &texts) {
  int last = -1;
  for (const std::string &text : texts) {
    int found = -1;
    for (int r = last + 1; r < t.rows() && found < 0; r++)
      if (t.row(r) == text) found = r;
    if (found < 0) return false;
    last = found;
  }
  return true;
}

TEST(HeldStderr, LinesComeAfterTheScreenInOrder) {
  Terminal t;
  ASSERT_TRUE(kvltest::start_demo(t, list_args({})));
  EXPECT_FALSE(t.contains("first line") || t.contains("second line") || t.contains("third line"))
      << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
  EXPECT_TRUE(in_order(t, {"first line", "second line", "third line", "Result 100 index 0 code 100"}))
      << t.screen();
}

TEST(HeldStderr, FatalEndAndEndingSignalWriteThemToo) {
  {
    // The sixteenth header line is fatal: the held lines, then the reason.
    std::vector<std::string> more;
    for (int i = 0; i < 16; i++) more.insert(more.end(), {"--header", "h"});
    Terminal t;
    ASSERT_TRUE(kvltest::start_demo_showing(t, list_args(more), "Too many header lines"));
    EXPECT_FALSE(t.contains("first line")) << t.screen();
    t.press(Key::Enter);
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.exit_status(), 255);
    EXPECT_TRUE(in_order(t, {"first line", "second line", "third line",
                             "Internal error: Too many header lines"}))
        << t.screen();
  }
  for (int sig : {SIGTERM, SIGHUP}) {
    Terminal t;
    ASSERT_TRUE(kvltest::start_demo(t, list_args({})));
    t.signal(sig);
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.exit_status(), 128 + sig);  // ended by the signal, as without a screen
    if (sig == SIGTERM) {  // after a hangup the terminal is gone: nothing can be seen
      EXPECT_TRUE(in_order(t, {"first line", "second line", "third line"})) << t.screen();
    }
  }
}

TEST(HeldStderr, AFileTakesEachLineAtOnce) {
  kvltest::TempDir tmp;
  Terminal t;
  t.stderr_to(tmp / "err");
  ASSERT_TRUE(kvltest::start_demo(t, list_args({})));
  // While the list is still up.
  EXPECT_EQ(kvltest::read_file(tmp / "err"), "first line\nsecond line\nthird line\n");
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(kvltest::read_file(tmp / "err"), "first line\nsecond line\nthird line\n");
}

}  // namespace
