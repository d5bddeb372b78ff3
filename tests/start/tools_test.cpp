// audstart and audstop on a simulated machine with an installation directory
// laid out from the built programs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "startup_fixture.h"

using testing::HasSubstr;
using testing::Not;

namespace {

// An installation directory holding the programs and tools under bin/, named
// by the machine's /etc/kvl.conf (its first KVLLIBDIR= line wins).
struct Installed : starttest::Startup {
  explicit Installed(const std::string &machine_json = starttest::kMachine) : Startup(machine_json) {
    link({"audcore", "audstart", "audstop", "kvlsim", "kvlconf.sh"});
    write_kvl_conf("# sound system\nKVLLIBDIR=" + dir + "\nKVLLIBDIR=/nowhere\n");
  }
  std::string log() const { return read("logs/audstart.log"); }
};

TEST(Tools, AudstartRunsStartupAndKeepsItsLog) {
  Installed s;
  s.run_cards({{"SB16", "0x220", "5", "1", "5"}});
  auto r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\nKelvane started OK.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(s.log(),
            "Sound driver contacted OK\n"
            "1 cards installed.\n"
            "      SB16:       SB16:  PORT 0x220 IRQ  5 DMA1  1 DMA2  5\n");
  EXPECT_EQ(s.status(), "AUDSTART_OK\n");
}

TEST(Tools, AudstartPassesAudcoresExitStatusOn) {
  Installed s;
  ASSERT_EQ(s.machine.kvlsim("fault", {"Get version", "EIO"}).status, 0);
  auto r = s.tool("audstart");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(s.log(), std::string("Get version: ") + std::strerror(EIO) + "\n");
  EXPECT_EQ(r.out, "Kelvane did not start: see " + s.dir + "/logs/audstart.log\n");
}

TEST(Tools, AudstartSaysOnTheConsoleWhenStartUpDidNotEndOK) {
  struct Case {
    const char *name;
    const char *machine;
    const char *fault;   // request to fail with EIO, or none
    const char *config;  // devices.cfg, or none
    int status;
  } cases[] = {
      {"a refused card", starttest::kMachine, "Add card", "SB16 P220 I5 D1 d5\n", 255},
      {"no devices.cfg", starttest::kMachine, nullptr, nullptr, 0},
      {"another driver version", R"({"version": "0x039998", "drivers": [{"name": "SB16", "key": 3}]})",
       nullptr, "SB16 P220 I5 D1 d5\n", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Installed s(c.machine);
    if (c.fault) {
      ASSERT_EQ(s.machine.kvlsim("fault", {c.fault, "EIO"}).status, 0);
    }
    if (c.config) {
      std::filesystem::create_directories(s.path("etc"));
      kvltest::write_file(s.path("etc/devices.cfg"), c.config);
    }
    auto r = s.tool("audstart");
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "Kelvane did not start: see " + s.dir + "/logs/audstart.log\n");
    EXPECT_EQ(s.status(), "AUDSTART\n");
  }
}

TEST(Tools, AudstartTellsAnUnreadableDevicesCfgInTheLog) {
  Installed s;
  std::filesystem::create_directories(s.path("etc/devices.cfg"));  // there, not readable
  auto r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(s.log(), s.dir + "/etc/devices.cfg: Is a directory\n"
                     "Sound driver contacted OK\n");
  EXPECT_EQ(r.out, "Kelvane did not start: see " + s.dir + "/logs/audstart.log\n");
}

// A log that cannot be made is said on the console, and start-up runs
// without it.
TEST(Tools, AudstartRunsWithoutALogItCannotMake) {
  Installed s;
  s.run_cards({{"SB16", "0x220", "5", "1", "5"}});
  std::filesystem::create_directories(s.path("logs/audstart.log/kept"));
  auto r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\nKelvane started OK.\n");
  EXPECT_EQ(r.err, s.dir + "/logs/audstart.log: " + std::strerror(EISDIR) + "\n");
  EXPECT_TRUE(std::filesystem::is_directory(s.path("logs/audstart.log/kept")));
  EXPECT_EQ(s.status(), "AUDSTART_OK\n");
}

TEST(Tools, AudstopUnloadsAndRecordsItAndAudstartLoadsAgain) {
  Installed s;
  s.run_cards({{"SB16", "0x220", "5", "1", "5"}});
  auto r = s.tool("audstop");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(s.status(), "AUDSTOP\n");
  r = s.audcore("-v");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, std::string("Open /dev/mixer0: ") + std::strerror(ENODEV) + "\n");

  // Loaded again, the driver has forgotten its cards: start-up configures it
  // from an empty devices.cfg and ends without a card.
  r = s.tool("audstart");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Kelvane did not start: see " + s.dir + "/logs/audstart.log\n");
  EXPECT_EQ(s.log(), "Sound driver contacted OK\n");
  EXPECT_EQ(s.status(), "AUDSTART\n");
}

// Both tools read /etc/kvl.conf as KVLlib does: the first line naming an
// absolute KVLLIBDIR wins, and a NUL byte elsewhere does no harm. audstop
// writes AUDSTOP into the .status of the installation it found.
TEST(Tools, KvlConfIsReadAsKvllibReadsIt) {
  Installed s;
  const std::string dir = s.dir;
  using namespace std::string_literals;
  const struct {
    std::string conf;
    bool found;
  } cases[] = {
      {"KVLLIBDIR=" + dir + "\n", true},
      {"KVLLIBDIR=" + dir, true},  // no final newline
      {"KVLLIBDIR=relative\nKVLLIBDIR=\nKVLLIBDIR=" + dir + "\n", true},
      {"KVLLIBDIR=" + dir + "\n# \0 a NUL on a later line\n"s, true},
      {"# a NUL \0 on an earlier line\nKVLLIBDIR="s + dir + "\n", true},
      {" KVLLIBDIR=" + dir + "\nKVLLIBDIR=/nowhere\n", false},
      {"KVLLIBDIR=/" + std::string(300, 'x') + "\nKVLLIBDIR=" + dir + "\n", true},
      {"", false},
  };
  for (const auto &c : cases) {
    std::filesystem::remove(s.path(".status"));
    s.write_kvl_conf(c.conf);
    auto r = s.tool("audstop");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(kvltest::file_exists(s.path(".status")), c.found) << c.conf;
  }
}

TEST(Tools, AudstopsTemporaryNameCannotBeTakenBeforehand) {
  // Folders under the names the next 600 processes would use for a
  // temporary file of their own id, made before audstop runs.
  Installed s;
  int last = 0;
  std::ifstream("/proc/sys/kernel/ns_last_pid") >> last;
  ASSERT_GT(last, 0);
  for (int pid = last + 1; pid <= last + 600; pid++)
    std::filesystem::create_directory(s.path(".status.tmp." + std::to_string(pid)));
  auto r = s.tool("audstop");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(s.status(), "AUDSTOP\n");
  EXPECT_EQ(std::filesystem::status(s.path(".status")).permissions(),
            std::filesystem::perms(0644));
}

// A standard descriptor that is closed gets /dev/null: the control device
// (or any other file audcore opens) never takes its place, so the node is
// neither read as the card configuration nor written with the log.
TEST(Tools, ClosedStandardDescriptorsAreNotTakenByFiles) {
  struct Case {
    const char *redirect;
    bool config;  // devices.cfg on standard input
    const char *status;
  } cases[] = {
      {"<&-", false, "AUDSTART\n"},  // no configuration, no card: no word after AUDSTART
      {">&-", true, "AUDSTART_OK\n"},
      {"2>&-", true, "AUDSTART_OK\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.redirect);
    Installed s;
    std::string node = s.machine.root() + "/dev/mixer0", cfg = s.path("devices.cfg");
    const std::string node_text = kvltest::read_file(node);
    kvltest::write_file(cfg, "SB16 P220 I5 D1 d5\n");
    std::string input = c.config ? " < \"$CONFIG\"" : "";
    auto r = s.run({"/bin/sh", "-c", std::string("exec \"$0\" \"$@\" ") + c.redirect + input,
                    kvltest::bin("audcore"), "-vvv", s.dir},
                   {"CONFIG=" + cfg});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out + r.err, Not(HasSubstr("No driver found")));
    EXPECT_EQ(kvltest::read_file(node), node_text);
    EXPECT_EQ(s.status(), c.status);
  }
}

// No tool writes its log through a symbolic link put in its place, even when
// others may write into logs/ (which each says once).
TEST(Tools, LogsAreNeverWrittenThroughALink) {
  struct Case {
    const char *log;
    std::vector<std::string> argv;  // the tool under the installation's bin/, and its arguments
  } cases[] = {
      {"audstart.log", {"audstart"}},
      {"mixset.log", {"mixset", "-q", "vol=75"}},
      {"kvlupdate.log", {"kvlupdate", "4.0.0"}},
      {"kvltest.log", {"kvltest", "-C", "-l", "LOG"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.log);
    Installed s;
    s.link({"mixset", "kvltest", "kvlupdate"});
    std::string logs = s.path("logs"), log = logs + "/" + c.log, victim = s.path("victim");
    std::filesystem::create_directories(logs);
    ASSERT_EQ(chmod(logs.c_str(), 0777), 0);
    kvltest::write_file(victim, "keep\n");
    std::filesystem::create_symlink(victim, log);
    std::vector<std::string> argv = c.argv;
    argv[0] = s.path("bin/" + argv[0]);
    for (std::string &a : argv)
      if (a == "LOG") a = log;
    auto r = s.run(argv, {"KVL_UPDATE_SOURCE="});
    EXPECT_EQ(kvltest::read_file(victim), "keep\n");
    EXPECT_FALSE(std::filesystem::is_symlink(log));
    EXPECT_TRUE(std::filesystem::is_regular_file(log));
    EXPECT_NE(kvltest::read_file(log), "");
    std::string warning = "Warning: " + logs + " is writable by other users\n", said = r.out + r.err;
    size_t at = said.find(warning);
    EXPECT_NE(at, std::string::npos) << said;
    EXPECT_EQ(said.find(warning, at + 1), std::string::npos) << said;  // once
  }
}

TEST(Tools, WithoutSimulatedMachineTheToolsRefuse) {
  Installed s;
  for (const char *tool : {"audstart", "audstop"}) {
    auto r = s.tool(tool, {"KVL_SIMROOT="});
    EXPECT_NE(r.status, 0) << tool;
    EXPECT_THAT(r.err, HasSubstr("sound driver on this system")) << tool;
  }
  EXPECT_FALSE(kvltest::file_exists(s.path(".status")));
}

}  // namespace
