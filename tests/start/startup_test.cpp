// audcore in start-up mode, end to end against the simulated driver.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "startup_fixture.h"

using starttest::Startup;
using testing::HasSubstr;
using testing::Not;

namespace {

const std::vector<std::string> kHandshake = {"Get version", "Get status", "Get #drivers",
                                             "Get driver types", "Get drivers"};

TEST(Startup, UsageLineBeforeAnythingIsTouched) {
  Startup s;
  auto r = s.run({kvltest::bin("audcore"), "-v"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, kvltest::bin("audcore") + ": This program should not used manually.\n");
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(kvltest::file_exists(s.path(".status")));
  EXPECT_TRUE(s.machine.journal().empty());

  r = s.run({kvltest::bin("audcore"), "-v", s.dir, "extra"});
  EXPECT_EQ(r.status, 255);
  EXPECT_FALSE(kvltest::file_exists(s.path(".status")));
}

TEST(Startup, OptionWordSetsVerbosityAndWarnsOnUnknownLetters) {
  Startup s;
  s.run_cards({{"SB16", "0x220", "5", "1", "5"}});
  auto r = s.audcore("vvv-x");
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.err, Not(HasSubstr("Warning")));
  EXPECT_THAT(r.err, HasSubstr("Sound driver contacted OK\n"));
  EXPECT_THAT(r.err, HasSubstr("1 cards installed.\n"));

  r = s.audcore("vq");
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.err, HasSubstr("Warning: Unrecognized option q\n"));
  EXPECT_THAT(r.err, Not(HasSubstr("Sound driver contacted OK")));  // needs two v
}

TEST(Startup, MissingControlDeviceIsFatalInStartupMode) {
  Startup s;
  std::filesystem::remove(s.machine.root() + "/dev/mixer0");
  auto r = s.audcore("-v");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, std::string("Open /dev/mixer0: ") + std::strerror(ENOENT) + "\n");
  EXPECT_EQ(s.status(), "AUDSTART\n");
  EXPECT_TRUE(s.machine.journal().empty());
}

TEST(Startup, OtherDriverVersionIsToldAndEndsQuietly) {
  Startup s(R"({"version": "0x039998", "drivers": [{"name": "SB16", "key": 3}]})");
  auto r = s.audcore("-vvvvvv", "SB16 P220 I5 D1 d5\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Sorry, Incompatible sound driver version\n"
            "Driver version is 039998. This program works with 039999.\n"
            "Install the new driver binary to kernel and reboot\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(s.status(), "AUDSTART\n");
  EXPECT_EQ(s.machine.request_names(0), std::vector<std::string>{"Get version"});
}

TEST(Startup, ConfigurationWithoutCardsEndsAfterReadingIt) {
  Startup s;
  auto r = s.audcore("-vvv", "# Use audset to edit this file.\n/SECUREAUDIO OFF\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Sound driver contacted OK\n");
  EXPECT_EQ(s.status(), "AUDSTART\n");
  EXPECT_EQ(s.machine.request_names(0), kHandshake);  // no activation, no card report
}

TEST(Startup, RunningDriverIsOnlyReported) {
  Startup s;
  s.run_cards({{"SB16", "0x220", "5", "1", "5"}});
  size_t from = s.machine.journal_size();
  auto r = s.audcore("-vvv", "SB16 P220 I5 D1 d5\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\nKelvane started OK.\n");
  EXPECT_EQ(r.err,
            "Sound driver contacted OK\n"
            "1 cards installed.\n"
            "      SB16:       SB16:  PORT 0x220 IRQ  5 DMA1  1 DMA2  5\n");
  EXPECT_EQ(s.status(), "AUDSTART_OK\n");
  std::vector<std::string> expected = kHandshake;
  expected.insert(expected.end(), {"Get #cards", "Get card info"});
  EXPECT_EQ(s.machine.request_names(from), expected);  // nothing configured, no activation
}

TEST(Startup, CardThatFailedToInitialiseGivesTheWarnings) {
  Startup s;
  // The second card names hardware that is not there.
  s.run_cards({{"SB16", "0x220", "5", "1", "5"}, {"MPU401", "0x300", "9"}});
  auto r = s.audcore("-vvv");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Warning: Some of the devices failed to initialize.\n"
            "See " + s.dir + "/logs/audstart.log for more info.\n");
  EXPECT_THAT(r.err, HasSubstr("2 cards installed.\n"));
  EXPECT_THAT(r.err,
              HasSubstr("    MPU401:     MPU401:  PORT 0x300 IRQ  9 DMA1 -1 DMA2 -1"
                        " (failed to initialize)\n"));
  EXPECT_THAT(r.err, HasSubstr("Warning: Some of the devices failed to initialize\n"));
  EXPECT_EQ(s.status(), "AUDSTART\n");
}

TEST(Startup, DriverNamesSplitAtNewlinesWithAnEmptyLastName) {
  // Get drivers answers "a\nb\n": the third driver's name is empty.
  Startup s(R"({"driver_slots": 5, "drivers": [{"name": "a", "key": 7},
               {"name": "b", "key": 8}, {"name": "", "key": 9}]})");
  s.run_cards({});
  auto r = s.audcore("vvvvvv");
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.err, HasSubstr("5 card level driver slots.\n"
                               "3 card level drivers actually installed.\n"
                               "  7: a\n"
                               "  8: b\n"
                               "  9: \n"));
}

TEST(Startup, DriverWithoutCardsHasNotStarted) {
  Startup s;
  s.run_cards({});  // started with nothing added
  auto r = s.audcore("-vvv");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Error: No sound devices were installed\n");  // no "started OK"
  EXPECT_EQ(r.err, "Sound driver contacted OK\n0 cards installed.\n"
                   "Error: No sound devices were installed\n");
  EXPECT_EQ(s.status(), "AUDSTART\n");
}

TEST(Startup, JournalDecodesTheCardIndexesSent) {
  Startup s;
  s.run_cards({{"SB16", "0x220", "5", "1", "5"}, {"MPU401", "0x300", "9"}});
  size_t from = s.machine.journal_size();
  ASSERT_EQ(s.audcore("").status, 0);
  std::vector<std::pair<int, int>> asked;  // (index sent, key returned)
  for (const auto &j : s.machine.requests("Get card info", from)) asked.emplace_back(j["index"], j["key"]);
  EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{0, 3}, {1, 4}}));
}

}  // namespace
