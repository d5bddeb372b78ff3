// The kvlsim command: creating machines, listing /dev, faults, helpers.
#include "simtest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using kvltest::bin;
using kvltest::read_file;
using kvltest::run;
using kvltest::SimMachine;
using kvltest::TempDir;
using kvltest::write_file;

TEST(Kvlsim, InitCreatesALoadedDemoMachine) {
  SimMachine m;
  EXPECT_EQ(read_file(m.root() + "/etc/kvl.conf"), "KVLLIBDIR=/usr/lib/kvl\n");
  EXPECT_EQ(read_file(m.root() + "/journal.jsonl"), "");
  auto s = simtest::state(m);
  EXPECT_EQ(s["loaded"], true);
  EXPECT_EQ(s["status"], 0);
  EXPECT_EQ(m.kvlsim("devices").out, "/dev/mixer0 c 0666 14 0\n");

  // The demo machine's ISA cards start when added as they sit.
  ASSERT_EQ(m.kvlsim("addcard", {"SB16", "220", "5", "1", "5"}).status, 0);
  ASSERT_EQ(m.kvlsim("addcard", {"PNP"}).status, 0);
  ASSERT_EQ(m.kvlsim("activate").status, 0);
  EXPECT_EQ(simtest::card_info(m, 0).initialized, 1);
  EXPECT_EQ(simtest::card_info(m, 1).initialized, 1);
  EXPECT_EQ(m.requests("Add card").size(), 0u);  // the helpers are not journalled
}

TEST(Kvlsim, InitTakesAMachineAndReplacesAnEarlierOne) {
  TempDir t;
  std::string dir = t / "m", machine = t / "machine.json";
  write_file(machine, R"({"major": 30})");
  auto r = run({bin("kvlsim"), "init", dir, machine, "--kvllibdir", "/opt/kvl"});
  ASSERT_EQ(r.status, 0) << r.err;
  write_file(dir + "/dev/dsp0", "junk");
  write_file(dir + "/journal.jsonl", "{}\n");
  r = run({bin("kvlsim"), "init", dir});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(run({bin("kvlsim"), "devices", dir}).out, "/dev/mixer0 c 0666 14 0\n");
  EXPECT_EQ(read_file(dir + "/journal.jsonl"), "");
  EXPECT_EQ(read_file(dir + "/etc/kvl.conf"), "KVLLIBDIR=/usr/lib/kvl\n");

  // A folder holding anything else is left alone.
  write_file(t / "other/keep.txt", "mine");
  r = run({bin("kvlsim"), "init", t / "other"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_file(t / "other/keep.txt"), "mine");
}

TEST(Kvlsim, DamagedMachineFileGivesOneError) {
  TempDir t;
  write_file(t / "bad.json", R"({"drivers": [{"name": 5, "key": 1}]})");
  auto r = run({bin("kvlsim"), "init", t / "m", t / "bad.json"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kvlsim: " + (t / "bad.json") + ": drivers[0].name: expected a text\n");
  EXPECT_FALSE(kvltest::file_exists(t / "m/machine.json"));
  r = run({bin("kvlsim"), "init", t / "m", t / "missing.json"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("missing.json"), std::string::npos);

  SimMachine m;
  write_file(m.root() + "/machine.json", "not json");
  r = m.kvlsim("unload");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(m.root() + "/machine.json: "), std::string::npos) << r.err;
}

TEST(Kvlsim, DevicesListsNodesLinksAndFiles) {
  SimMachine m;
  ASSERT_EQ(m.kvlsim("mknod", {"/dev/dsp1", "14", "19", "0622"}).status, 0);
  ASSERT_EQ(m.kvlsim("mknod", {"/dev/snd/pcm0", "14", "3", "0600"}).status, 0);
  ASSERT_EQ(symlink("dsp1", (m.root() + "/dev/dsp").c_str()), 0);
  write_file(m.root() + "/dev/notes", "x");
  chmod((m.root() + "/dev/notes").c_str(), 0644);
  EXPECT_EQ(m.kvlsim("devices").out,
            "/dev/dsp -> /dev/dsp1\n"
            "/dev/dsp1 c 0622 14 19\n"
            "/dev/mixer0 c 0666 14 0\n"
            "/dev/notes f 0644\n"
            "/dev/snd/pcm0 c 0600 14 3\n");
  EXPECT_EQ(m.kvlsim("mknod", {"/dev/dsp1", "14", "19", "0622"}).status, 1);  // exists
  EXPECT_EQ(m.kvlsim("mknod", {"/etc/x", "14", "19", "0622"}).status, 1);
  EXPECT_EQ(m.kvlsim("mknod", {"/dev/x", "14", "256", "0622"}).status, 1);
}

TEST(Kvlsim, BadArgumentsAreRefused) {
  SimMachine m;
  const std::vector<std::vector<std::string>> bad = {
      {"fault", "Get version"},
      {"fault", "No such request", "EIO"},
      {"fault", "Get version", "EWHAT"},
      {"fault", "Get version", "EIO", "-1"},
      {"fault", "--open", "dev/mixer0", "EIO"},
      {"addcard", "NOSUCH"},
      {"addcard", "SB16", "zz"},
      {"frobnicate"},
      {"load", "extra"},
  };
  for (const auto &args : bad) {
    std::vector<std::string> extra(args.begin() + 1, args.end());
    auto r = m.kvlsim(args[0], extra);
    EXPECT_NE(r.status, 0) << args[0] << " " << (extra.empty() ? "" : extra[0]);
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_EQ(simtest::state(m)["faults"].size(), 0u);
}

TEST(Kvlsim, StateAndJournalArePrinted) {
  SimMachine m;
  int32_t v = 0;
  ASSERT_EQ(simtest::req(m, kvl::CTL_GET_VERSION, &v), 0);
  EXPECT_EQ(m.kvlsim("journal").out, read_file(m.root() + "/journal.jsonl"));
  auto r = m.kvlsim("state");
  EXPECT_EQ(nlohmann::json::parse(r.out)["loaded"], true);
  ASSERT_EQ(m.kvlsim("unload").status, 0);
  EXPECT_EQ(nlohmann::json::parse(m.kvlsim("state").out)["loaded"], false);
}

}  // namespace
