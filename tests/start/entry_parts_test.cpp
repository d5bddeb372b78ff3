// The entry's pieces that need no driver: option word, PATH, the driver name
// table and the status file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "common/common.h"
#include "entry/entry.h"
#include "entry/handshake.h"
#include "entry/install_status.h"
#include "support.h"

using kvltest::TempDir;

namespace {

// A fresh run record for each case: it is large, so it is not on the stack.
std::unique_ptr<kvl::CoreRun> fresh_run() { return std::make_unique<kvl::CoreRun>(); }

TEST(OptionWord, LettersSetModesAndUnknownOnesWarn) {
  struct Case {
    const char *word;
    int verbosity, configurator, driver_list;
    const char *warnings;
  } cases[] = {
      {"vvv-x", 3, 0, 0, ""},
      {"vq", 1, 0, 0, "Warning: Unrecognized option q\n"},
      {"-c", 0, 1, 0, ""},
      {"Tvi", 1, 1, 1, ""},
      {"zvZ", 1, 0, 0, "Warning: Unrecognized option z\nWarning: Unrecognized option Z\n"},
      {"", 0, 0, 0, ""},
  };
  for (const Case &c : cases) {
    auto run = fresh_run();
    testing::internal::CaptureStderr();
    kvl::parse_option_word(*run, c.word);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(run->model.verbosity, c.verbosity) << c.word;
    EXPECT_EQ(run->configurator, c.configurator) << c.word;
    EXPECT_EQ(run->driver_list, c.driver_list) << c.word;
    EXPECT_EQ(err, c.warnings) << c.word;
  }
}

TEST(PathExtension, AppendsSystemDirectoriesAndNeverCuts) {
  const char *tail = ":/bin:/usr/bin:/usr/local/bin:/sbin:/usr/sbin";
  std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";

  unsetenv("PATH");
  ASSERT_EQ(kvl::extend_path(), 0);
  EXPECT_EQ(std::string(std::getenv("PATH")), tail);

  std::string longer = "/opt/" + std::string(5000, 'p');
  setenv("PATH", longer.c_str(), 1);
  ASSERT_EQ(kvl::extend_path(), 0);
  EXPECT_EQ(std::string(std::getenv("PATH")), longer + tail);

  setenv("PATH", saved.c_str(), 1);
}

TEST(DriverNames, SplitAtNewlinesAndLowerTheSlotCount) {
  struct Case {
    const char *text;
    int slots_before;
    std::vector<std::string> names;
    int slots_after;
  } cases[] = {
      {"a\nb\n", 5, {"a", "b", ""}, 3},
      {"", 4, {""}, 1},
      {"sb16\nmpu", 1, {"sb16", "mpu"}, 1},  // a smaller slot count stays
  };
  for (const Case &c : cases) {
    auto run = fresh_run();
    kvl::DriverTable &drivers = run->model.drivers;
    drivers.slots = c.slots_before;
    int n = kvl::take_driver_names(*run, c.text);
    ASSERT_EQ(n, static_cast<int>(c.names.size())) << c.text;
    EXPECT_EQ(drivers.count, n);
    for (int i = 0; i < n; i++) EXPECT_EQ(drivers.names[i], c.names[i]) << c.text;
    EXPECT_EQ(drivers.slots, c.slots_after) << c.text;
  }
}

TEST(DriverNames, CountIsCappedAtTheNameTable) {
  auto run = fresh_run();
  run->model.drivers.slots = 250;
  std::string text;
  for (int i = 0; i < 250; i++) text += "d" + std::to_string(i) + "\n";
  EXPECT_EQ(kvl::take_driver_names(*run, text), kvl::MAX_DRIVER_NAMES);
  EXPECT_EQ(run->model.drivers.names[199], "d199");
  EXPECT_EQ(run->model.drivers.slots, kvl::MAX_DRIVER_NAMES);
}

TEST(DriverNames, LongFormSplitsDescriptionsAndKeepsTheFirst200) {
  auto run = fresh_run();
  run->model.verbosity = 6;
  run->model.drivers.slots = 64;
  run->model.drivers.keys[0] = 7;
  testing::internal::CaptureStderr();
  EXPECT_EQ(kvl::take_driver_descriptions(*run, "SB16:Sound Blaster 16\nPLAIN\n"), 3);
  std::string err = testing::internal::GetCapturedStderr();
  const kvl::DriverTable &d = run->model.drivers;
  EXPECT_EQ(d.names[0], "SB16");
  EXPECT_EQ(d.texts[0], "Sound Blaster 16");
  EXPECT_EQ(d.names[1], "PLAIN");
  EXPECT_EQ(d.texts[1], "");
  EXPECT_EQ(d.names[2], "");  // the piece after the last newline
  EXPECT_EQ(d.slots, 3);
  const std::string head = "3 card level drivers actually installed.\n  7: SB16 (Sound Blaster 16)\n";
  EXPECT_EQ(err.substr(0, head.size()), head);

  std::string text;
  for (int i = 0; i < 250; i++) text += "d" + std::to_string(i) + ":x\n";
  run->model.verbosity = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(kvl::take_driver_descriptions(*run, text), kvl::MAX_DRIVER_NAMES);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Get drivers long: 251 drivers reported, the first 200 are used\n");
  EXPECT_EQ(run->model.drivers.names[199], "d199");
}

TEST(InstallStatus, ReplacesTheWordAndLeavesNoTemporaryFile) {
  TempDir dir;
  kvltest::write_file(dir / ".status", "AUDSET_OK\nleft over from an older, longer text\n");
  kvl::write_install_status(dir.path(), "AUDSTART");
  EXPECT_EQ(kvltest::read_file(dir / ".status"), "AUDSTART\n");
  int entries = 0;
  for (auto &e : std::filesystem::directory_iterator(dir.path())) (void)e, entries++;
  EXPECT_EQ(entries, 1);
}

TEST(InstallStatus, FailureIsReportedAndNothingElseHappens) {
  TempDir dir;
  testing::internal::CaptureStderr();
  kvl::write_install_status(dir / "missing", "AUDSTART");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, dir / "missing/.status" + ": " + std::strerror(ENOENT) +
                     "\nCannot update install status\n");
  EXPECT_FALSE(kvltest::file_exists(dir / "missing"));
}

}  // namespace
