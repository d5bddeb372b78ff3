// cmake --install into a temporary prefix: the administrator's configuration
// survives a second install, and the installed boot script etc/init.d/kvl
// starts, stops and reports the installation on the demo machine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installation.h"
#include "support.h"

using testing::HasSubstr;
using testing::Not;

namespace {

// The installation directory as the prefix of cmake --install.
struct Prefix : kvltest::Installation {
  kvltest::RunResult install() const {
    return kvltest::run({KVL_CMAKE_COMMAND, "--install", KVL_BUILD_DIR, "--prefix", dir}, {"DESTDIR="});
  }
  bool exists(const std::string &rel) const { return kvltest::file_exists(path(rel)); }
  std::string kept_line(const std::string &rel) const {
    return "Kept " + path(rel) + "; the shipped copy is " + path(rel) + ".new\n";
  }
};

std::string shipped(const std::string &name) {
  return kvltest::read_file(std::string(KVL_SOURCE_DIR) + "/data/etc/" + name);
}

TEST(Install, SecondInstallKeepsEditedConfigurationAndReplacesTheRest) {
  Prefix p;
  auto r = p.install();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.err, Not(HasSubstr("Kept ")));
  for (const char *f : {"devices.cfg", "mixer.map", "options.cfg", "kvlupdate.conf"}) {
    EXPECT_EQ(p.read(std::string("etc/") + f), shipped(f)) << f;
    EXPECT_FALSE(p.exists(std::string("etc/") + f + ".new")) << f;
    // Only root may change them: start-up runs commands from two of them.
    auto perms = std::filesystem::status(p.path(std::string("etc/") + f)).permissions();
    EXPECT_EQ(perms, std::filesystem::perms(0644)) << f;
  }
  ASSERT_TRUE(p.exists("etc/init.d/kvl"));
  EXPECT_EQ(p.read("bin/kvlupdate"), kvltest::read_file(kvltest::bin("kvlupdate")));
  EXPECT_EQ(p.read("bin/kvlcfg"), kvltest::read_file(kvltest::bin("kvlcfg")));

  // The administrator's edits and files only the configurator and the
  // control panel write; program and database files damaged.
  const std::string devices = shipped("devices.cfg") + "MPU401 ON P300 I10\n";
  const std::string mixer = "SB16 0000\n!mixset vol=10\n";
  p.write("etc/devices.cfg", devices);
  p.write("etc/mixer.map", mixer);
  p.write("etc/kvlupdate.conf", "UPDATE_SOURCE=/srv/kvl\n");
  p.write("etc/modules.cfg", "sb16\n");
  p.write("etc/dspdevs.map", "1 0 \n");
  for (const char *f : {"etc/config.dat", "etc/modules.lis", "bin/audstart", "bin/audcore"})
    p.write(f, "damaged\n");

  r = p.install();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(p.read("etc/devices.cfg"), devices);
  EXPECT_EQ(p.read("etc/mixer.map"), mixer);
  EXPECT_EQ(p.read("etc/devices.cfg.new"), shipped("devices.cfg"));
  EXPECT_EQ(p.read("etc/mixer.map.new"), shipped("mixer.map"));
  EXPECT_THAT(r.err, HasSubstr(p.kept_line("etc/devices.cfg")));
  EXPECT_THAT(r.err, HasSubstr(p.kept_line("etc/mixer.map")));
  EXPECT_EQ(p.read("etc/kvlupdate.conf"), "UPDATE_SOURCE=/srv/kvl\n");
  EXPECT_EQ(p.read("etc/kvlupdate.conf.new"), shipped("kvlupdate.conf"));
  // options.cfg still holds the shipped text: no copy, no line.
  EXPECT_FALSE(p.exists("etc/options.cfg.new"));
  EXPECT_THAT(r.err + r.out, Not(HasSubstr("Kept " + (p.path("etc/options.cfg")))));
  EXPECT_EQ(p.read("etc/modules.cfg"), "sb16\n");
  EXPECT_EQ(p.read("etc/dspdevs.map"), "1 0 \n");

  EXPECT_EQ(p.read("etc/config.dat"), kvltest::read_file(std::string(KVL_DATA_DIR) + "/etc/config.dat"));
  EXPECT_EQ(p.read("etc/modules.lis"), kvltest::read_file(std::string(KVL_DATA_DIR) + "/etc/modules.lis"));
  EXPECT_EQ(p.read("bin/audstart"), kvltest::read_file(kvltest::bin("audstart")));
  EXPECT_EQ(p.read("bin/audcore"), kvltest::read_file(kvltest::bin("audcore")));
}

// An older .new copy beside a kept file is replaced by the shipped text; one
// beside a file that matches the shipped text is not the install's business.
TEST(Install, OldCopiesBesideKeptFiles) {
  Prefix p;
  ASSERT_EQ(p.install().status, 0);
  p.write("etc/options.cfg", "sb_dma_size=16\n");
  p.write("etc/options.cfg.new", "stale\n");
  p.write("etc/mixer.map.new", "stale\n");
  auto r = p.install();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(p.read("etc/options.cfg"), "sb_dma_size=16\n");
  EXPECT_EQ(p.read("etc/options.cfg.new"), "");
  EXPECT_THAT(r.err, HasSubstr(p.kept_line("etc/options.cfg")));
  // mixer.map matches the shipped text: no line for it.
  EXPECT_THAT(r.err, Not(HasSubstr("mixer.map")));
  EXPECT_EQ(p.read("etc/mixer.map.new"), "stale\n");
}

// An installation on the demo machine, whose /etc/kvl.conf names it.
struct Booted : Prefix {
  Booted() {
    auto r = install();
    EXPECT_EQ(r.status, 0) << r.err;
    write_kvl_conf("KVLLIBDIR=" + dir + "\n");
  }
  kvltest::RunResult init(const std::vector<std::string> &args, const std::string &script = "") const {
    std::vector<std::string> argv = {script.empty() ? path("etc/init.d/kvl") : script};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv);
  }
};

TEST(InitScript, VerbsStartStopAndReportTheInstallation) {
  Booted b;
  auto r = b.init({"status"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "Kelvane: not started (no " + (b.path(".status")) + ")\n");

  r = b.init({"start"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\nKelvane started OK.\nKelvane: AUDSTART_OK\n");
  EXPECT_THAT(b.read("logs/audstart.log"), HasSubstr("5 cards installed.\n"));
  r = b.init({"status"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Kelvane: AUDSTART_OK\n");

  // restart unloads the driver, so start-up configures every card again
  // (on a driver still running it would only report them).
  r = b.init({"restart"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\nKelvane started OK.\nKelvane: AUDSTART_OK\n");
  EXPECT_THAT(b.read("logs/audstart.log"), HasSubstr("Configuring "));

  r = b.init({"stop"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Kelvane: AUDSTOP\n");
  EXPECT_EQ(b.read(".status"), "AUDSTOP\n");
  r = b.init({"status"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Kelvane: AUDSTOP\n");
  // The driver is gone: start-up cannot open the control device.
  r = b.run({b.path("bin/audcore"), "-v", b.dir});
  EXPECT_EQ(r.status, 255);
}

TEST(InitScript, OtherStatusWordsAndUnknownVerbs) {
  Booted b;
  b.write(".status", "AUDSTART\n");
  auto r = b.init({"status"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Kelvane: AUDSTART\n");

  for (const std::vector<std::string> &args :
       {std::vector<std::string>{}, {"reload"}, {"Start"}, {""}}) {
    r = b.init(args);
    std::string verb = args.empty() ? "(none)" : args[0];
    EXPECT_EQ(r.status, 2) << verb;
    EXPECT_EQ(r.out, "") << verb;
    EXPECT_THAT(r.err, HasSubstr("Usage: ")) << verb;
    EXPECT_THAT(r.err, HasSubstr("{start|stop|restart|status}")) << verb;
  }
  EXPECT_EQ(b.read(".status"), "AUDSTART\n");
}

TEST(InitScript, FindsItsInstallationThroughALink) {
  Booted b;
  b.write(".status", "AUDSTART_OK\n");
  kvltest::TempDir etc;
  std::filesystem::create_directories(etc / "init.d");
  std::filesystem::create_symlink(b.path("etc/init.d/kvl"), etc / "init.d/kvl");
  std::filesystem::create_directories(etc / "rc2.d");
  std::filesystem::create_symlink("../init.d/kvl", etc / "rc2.d/S20kvl");
  for (const std::string &link : {etc / "init.d/kvl", etc / "rc2.d/S20kvl"}) {
    auto r = b.init({"status"}, link);
    EXPECT_EQ(r.status, 0) << link;
    EXPECT_EQ(r.out, "Kelvane: AUDSTART_OK\n") << link;
  }
}

}  // namespace
