// Injected faults, an unloaded driver, damaged files, and many processes
// using one machine at once.
#include "simtest.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <set>

namespace {

using kvltest::SimMachine;
using simtest::req;

const char *kFaultyMachine = R"({
  "drivers": [{"name": "a", "key": 7}],
  "faults": [{"request": "Get version", "errno": "EIO"},
             {"request": "CTL_SET_OPTION", "errno": "EBUSY", "nth": 2},
             {"open": "/dev/mixer0", "errno": "EACCES", "nth": 1}]
})";

TEST(Faults, AlwaysAndNth) {
  SimMachine m(kFaultyMachine);
  int32_t v = 0;
  EXPECT_EQ(req(m, kvl::CTL_GET_VERSION, &v), -EIO);
  EXPECT_EQ(req(m, kvl::CTL_GET_VERSION, &v), -EIO);
  EXPECT_EQ(v, 0);  // the record comes back untouched
  for (int i = 1; i <= 3; i++) {
    kvl::OptionRequest o{i, i * 10};
    EXPECT_EQ(req(m, kvl::CTL_SET_OPTION, &o), i == 2 ? -EBUSY : 0) << "call " << i;
  }
  auto s = simtest::state(m);
  EXPECT_EQ(s["options"], nlohmann::json::parse(R"({"1": 10, "3": 30})"));
  auto j = m.requests("Set ioctl");
  ASSERT_EQ(j.size(), 3u);
  EXPECT_EQ(j[1]["errno"], "EBUSY");
  EXPECT_EQ(j[1]["result"], -1);
  EXPECT_EQ(j[1]["id"], 2);  // what was sent is still decoded
  EXPECT_TRUE(j[2]["errno"].is_null());

  std::string root = m.root();
  EXPECT_EQ(kvl::sim_open_check(root.c_str(), "/dev/mixer0", 14, 0), -1);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(kvl::sim_open_check(root.c_str(), "/dev/mixer0", 14, 0), 0);
}

TEST(Faults, AddedWithKvlsimCountFromThen) {
  SimMachine m(R"({"drivers": [{"name": "a", "key": 7}]})");
  int32_t v = 0;
  ASSERT_EQ(req(m, kvl::CTL_GET_STATUS, &v), 0);
  auto r = m.kvlsim("fault", {"Get status", "ENXIO", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(req(m, kvl::CTL_GET_STATUS, &v), 0);
  EXPECT_EQ(req(m, kvl::CTL_GET_STATUS, &v), -ENXIO);
  EXPECT_EQ(req(m, kvl::CTL_GET_STATUS, &v), 0);
  // A fault may name a request by its code, and survives an unload.
  ASSERT_EQ(m.kvlsim("fault", {"0x20046301", "EPERM"}).status, 0);
  ASSERT_EQ(m.kvlsim("unload").status, 0);
  ASSERT_EQ(m.kvlsim("load").status, 0);
  EXPECT_EQ(req(m, kvl::CTL_GET_VERSION, &v), -EPERM);
}

TEST(Faults, UnloadedDriverAnswersNothing) {
  SimMachine m(R"({"drivers": [{"name": "a", "key": 7}], "synths": ["OPL"]})");
  ASSERT_EQ(simtest::add_card(m, 7, "a", 0, 0, -1, -1), 0);
  ASSERT_EQ(m.kvlsim("unload").status, 0);
  int32_t v = 0;
  EXPECT_EQ(req(m, kvl::CTL_GET_VERSION, &v), -ENODEV);
  EXPECT_EQ(kvl::sim_open_check(m.root().c_str(), "/dev/mixer0", 14, 0), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_FALSE(kvltest::file_exists(m.root() + "/sequencer.synths"));
  ASSERT_EQ(m.kvlsim("load").status, 0);
  auto s = simtest::state(m);
  EXPECT_EQ(s["cards"].size(), 0u);  // unloading forgot the card
  EXPECT_EQ(kvltest::read_file(m.root() + "/sequencer.synths"), "OPL\n");
}

// A hand-written state.json whose entries lack keys: the requests read the
// keys' plain values instead of reading past the entry.
TEST(Faults, EntriesWithoutKeysReadDefaults) {
  SimMachine m;
  kvltest::write_file(m.root() + "/state.json",
                      R"({"loaded": true, "status": 1, "cards": [{"driver": "SB16", "port": 544}],
                          "audio": [{"channels": 2}]})");
  kvl::CardInfo ci{};
  ci.key = 0;  // the index on input
  EXPECT_EQ(req(m, kvl::CTL_GET_CARD_INFO, &ci), 0);
  EXPECT_EQ(ci.port, 544);
  EXPECT_EQ(ci.irq, 0);
  EXPECT_EQ(ci.dma1, -1);
}

TEST(Faults, DamagedFilesFailRequestsWithEio) {
  const std::pair<const char *, const char *> damaged[] = {
      {"machine.json", "{ \"drivers\": ["},
      {"state.json", "{ \"drivers\": ["},
      {"state.json", R"({"loaded": true, "status": "one"})"},
      {"state.json", R"({"loaded": true, "cards": [7]})"},
      {"state.json", R"({"loaded": true, "audio": [{"name": 3}]})"},
      {"state.json", R"({"loaded": true, "faults": {}})"},
      {"faults.txt", "KVLSIM-FAULTS 2\nm0 EIO 0 0 open dev/mixer0\n"},
  };
  for (auto [file, text] : damaged) {
    SimMachine m;
    kvltest::write_file(m.root() + "/" + file, text);
    int32_t v = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(req(m, kvl::CTL_GET_VERSION, &v), -EIO);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(m.root() + "/" + file), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  SimMachine m;
  std::filesystem::remove(m.root() + "/machine.json");
  testing::internal::CaptureStderr();
  EXPECT_EQ(kvl::sim_open_check(m.root().c_str(), "/dev/mixer0", 14, 0), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("machine.json"), std::string::npos);
}

// Processes that issue requests on one machine at once lose nothing.
TEST(Faults, ConcurrentProcessesKeepStateAndJournalWhole) {
  SimMachine m(R"({"drivers": [{"name": "a", "key": 7}]})");
  const int children = 6, each = 25;
  std::vector<pid_t> pids;
  for (int c = 0; c < children; c++) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0; i < each; i++) {
        kvl::OptionRequest o{c * 1000 + i, i};
        if (kvl::sim_request(m.root().c_str(), 0, kvl::CTL_SET_OPTION, &o) != 0) _exit(1);
      }
      _exit(0);
    }
    pids.push_back(pid);
  }
  for (pid_t pid : pids) {
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  }
  auto options = simtest::state(m)["options"];
  EXPECT_EQ(options.size(), static_cast<size_t>(children * each));
  auto j = m.journal();  // every line parses
  ASSERT_EQ(j.size(), static_cast<size_t>(children * each));
  std::set<int> ids;
  for (auto &e : j) ids.insert(e["id"].get<int>());
  EXPECT_EQ(ids.size(), static_cast<size_t>(children * each));
  for (int c = 0; c < children; c++) EXPECT_EQ(options[std::to_string(c * 1000 + each - 1)], each - 1);
}

}  // namespace
