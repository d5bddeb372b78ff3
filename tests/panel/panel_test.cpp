// The control panel's logic in this process: /etc/kvl.conf, the driver check,
// the routing list's moves and lines, and what a save sends and writes when
// the driver or the file system refuses (MachineFixture).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/file_lock.h"
#include "kvl_conf_cases.h"
#include "machine_fixture.h"
#include "routing_lists.h"
#include "panel/panel.h"
#include "settings/dspdevs_map.h"
#include "sys/sys.h"
#include "tui/tui.h"

namespace {

using namespace kvl;
using kvltest::bin;
using kvltest::run;
using nlohmann::json;

using paneltest::devices_of;
using paneltest::routing;

// The panel reads /etc/kvl.conf by the one rule (tests/common/kvl_conf_test.cpp
// runs the same cases against the C and the shell reader).
TEST(KvlConf, ThePanelFollowsTheRule) {
  for (const KvlConfCase &c : KVL_CONF_CASES) {
    SCOPED_TRACE(c.name);
    std::string dir = "unchanged";
    EXPECT_EQ(parse_kvl_conf(std::string_view(c.text, c.size), &dir), c.dir ? 0 : -1);
    EXPECT_EQ(dir, c.dir ? c.dir : "unchanged");
  }
}

TEST(Options, OnlyOtherLettersWarn) {
  const char *args[] = {"audpanel", "-v", "vv", "-x", "", "a-v"};
  std::string warnings;
  panel_option_warnings(6, const_cast<char **>(args), &warnings);
  EXPECT_EQ(warnings, "Warning: Unrecognized option x\nWarning: Unrecognized option a\n");
}

TEST(RoutingList, MovesFollowTheDevice) {
  struct Case {
    const char *name;
    std::vector<int> devices;
    int at;
    bool up;
    std::vector<int> after;
    int position;
  } cases[] = {
      {"up from the last", {3, 0, 1}, 2, true, {3, 1, 0}, 1},
      {"up at the top", {3, 0, 1}, 0, true, {3, 0, 1}, 7},
      {"down from the first", {3, 0, 1}, 0, false, {0, 3, 1}, 1},
      {"down at the bottom", {3, 0, 1}, 2, false, {3, 0, 1}, 7},
      {"one device up", {4}, 0, true, {4}, 7},
      {"one device down", {4}, 0, false, {4}, 7},
      {"outside the list", {3, 0}, 5, true, {3, 0}, 7},
  };
  for (const Case &c : cases) {
    ReorderList list = reorder_list_from(routing(1, c.devices));
    list.position = 7;
    if (c.up)
      reorder_move_up(list, c.at);
    else
      reorder_move_down(list, c.at);
    EXPECT_EQ(std::vector<int>(list.devices, list.devices + list.count), c.after) << c.name;
    EXPECT_EQ(list.position, c.position) << c.name;
  }
}

// A driver count outside 0..64 must never index past the 64 device slots.
TEST(RoutingList, CountIsClampedToTheRecord) {
  for (auto [in, out] : {std::pair{-5, 0}, {0, 0}, {64, 64}, {65, 64}, {100000, 64}}) {
    RoutingRecord rec = {};
    rec.count = in;
    clamp_routing_count(rec);
    EXPECT_EQ(rec.count, out) << in;
    rec.count = in;
    EXPECT_EQ(reorder_list_from(rec).count, out) << in;
  }
}

TEST(RoutingList, DeviceLines) {
  AudioInfo multi = {};
  std::strcpy(multi.name, "ICH5 AC97 multichannel");
  multi.max_channels = 6;
  multi.oformats = 0x18 | AFMT_AC3;
  AudioInfo stereo = {};
  std::strcpy(stereo.name, "SB16 DSP");
  stereo.max_channels = 2;
  stereo.oformats = 0x18;
  AudioInfo ac3_only = stereo;
  ac3_only.oformats |= AFMT_AC3;
  EXPECT_EQ(device_line(4, &multi), "/dev/dsp4: ICH5 AC97 multichannel (MULTICH) (AC3)");
  EXPECT_EQ(device_line(0, &stereo), "/dev/dsp0: SB16 DSP");
  EXPECT_EQ(device_line(1, &ac3_only), "/dev/dsp1: SB16 DSP (AC3)");
  EXPECT_EQ(device_line(2, nullptr), "/dev/dsp2: unknown");
}

TEST(AtomicFile, CheckReplaceableLeavesNothingBehind) {
  kvltest::TempDir d;
  std::string path = d / "dspdevs.map";
  EXPECT_EQ(check_replaceable(path.c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_empty(d.path()));
  std::string missing = d / "etc/dspdevs.map";
  errno = 0;
  EXPECT_EQ(check_replaceable(missing.c_str()), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST(SelfTest, CommandQuotesTheDirectory) {
  EXPECT_EQ(kvltest_command("/opt/it's kvl", "-C"),
            "'/opt/it'\\''s kvl'/bin/kvltest -C -l '/opt/it'\\''s kvl'/logs/kvltest.log 2>&1");
}

// The panel against the simulated driver: the driver check and the save.
class PanelDriver : public kvltest::MachineFixture {
 protected:
  PanelState st;
  kvltest::TempDir install;

  void SetUp() override {
    MachineFixture::SetUp();
    st.install_dir = install.path();
    std::filesystem::create_directories(install / "etc");
    st.control = control;
  }

  // Two audio devices, then the driver's lists set by hand.
  void driver_lists(std::vector<int> in, std::vector<int> out, std::vector<int> duplex) {
    kvlsim("addcard", {"SB16", "220", "5", "1", "5"});
    int mode = 1;
    for (auto *list : {&in, &out, &duplex}) {
      RoutingRecord rec = routing(mode++, *list);
      ASSERT_EQ(control_send(st.control, CTL_SET_REROUTE, &rec), 0);
    }
  }
  std::string map_text() const { return kvltest::read_file(install / "etc/dspdevs.map"); }
};

TEST_F(PanelDriver, CheckDriverRefusals) {
  struct Case {
    const char *request, *errno_name;
    int nth;
    std::string error;
  } cases[] = {
      {"KVL_SYSINFO", "EINVAL", 0,
       "KVL_SYSINFO: Invalid argument\nError: KVL version 3.9.7 or later is required"},
      {"KVL_SYSINFO", "EIO", 0, "KVL_SYSINFO: Input/output error"},
      {"Get reroute", "EIO", 2, "Get reroute: Input/output error"},
  };
  for (const Case &c : cases) {
    TearDown();
    SetUp();
    fault(c.request, c.errno_name, c.nth);
    std::string error;
    EXPECT_EQ(check_driver(st, &error), -1) << c.request;
    EXPECT_EQ(error, c.error);
  }
}

TEST_F(PanelDriver, NoAudioDevicePassesWithoutAudioInfo) {
  std::string error;
  ASSERT_EQ(check_driver(st, &error), 0) << error;
  EXPECT_EQ(st.audio_count, 0);
  EXPECT_TRUE(journal("SNDCTL_AUDIOINFO").empty());
  EXPECT_EQ(journal("Get reroute").size(), 3u);
}

TEST_F(PanelDriver, AudioInfoRefusedIsAnIncompatibleDriver) {
  kvlsim("addcard", {"SB16", "220", "5", "1", "5"});
  kvlsim("activate");
  fault("SNDCTL_AUDIOINFO", "ENXIO", 0);
  std::string error;
  EXPECT_EQ(check_driver(st, &error), -1);
  EXPECT_EQ(error, "SNDCTL_AUDIOINFO: No such device or address\nIncompatible KVL version");
}

TEST_F(PanelDriver, SaveSendsTheThreeListsAndWritesTheSharedFormat) {
  driver_lists({0, 1}, {1, 0}, {0});
  std::string error;
  ASSERT_EQ(load_routing(st, &error), 0) << error;
  st.routes[ROUTE_INPUT] = routing(1, {3, 0, 1});
  st.routes[ROUTE_OUTPUT] = routing(2, {});
  SaveOutcome out;
  size_t before = journal("Set reroute").size();
  ASSERT_EQ(save_routing(st, &out), 0);
  EXPECT_TRUE(out.boxes.empty());
  EXPECT_TRUE(out.after_screen.empty());
  EXPECT_EQ(map_text(), "3 0 1 \n\n0 \n");
  auto sent = journal("Set reroute");
  ASSERT_EQ(sent.size(), before + 3);
  EXPECT_EQ(sent[before]["mode"], 1);
  EXPECT_EQ(devices_of(sent[before]), (std::vector<int>{3, 0, 1}));
  EXPECT_EQ(sent[before + 1]["mode"], 2);
  EXPECT_EQ(devices_of(sent[before + 1]), (std::vector<int>{}));
  EXPECT_EQ(sent[before + 2]["mode"], 3);
  // What start-up reads back is what was saved.
  DspdevsMap map;
  ASSERT_EQ(parse_dspdevs_map(map_text(), &map), 0);
  ASSERT_EQ(map.count, 3);
  for (int k = 0; k < 3; k++) {
    EXPECT_EQ(map.routes[k].mode, k + 1);
    ASSERT_EQ(map.routes[k].count, st.routes[k].count) << k;
    EXPECT_EQ(std::memcmp(map.routes[k].devices, st.routes[k].devices, map.routes[k].count), 0);
  }
}

// A refused mode keeps its line, holding the list the driver still uses, so
// the later lines keep their modes.
TEST_F(PanelDriver, RefusedModeKeepsTheDriversListOnItsLine) {
  struct Case {
    const char *name;
    bool get_refused;
    std::string file;
  } cases[] = {
      {"driver's list read again", false, "3 0 1 \n0 \n1 \n"},
      {"list read at start when Get reroute fails too", true, "3 0 1 \n1 0 \n1 \n"},
  };
  for (const Case &c : cases) {
    TearDown();
    SetUp();
    driver_lists({0, 1}, {1, 0}, {0});
    std::string error;
    ASSERT_EQ(load_routing(st, &error), 0) << error;
    // Someone else changes the output list behind the panel's back.
    RoutingRecord other = routing(2, {0});
    ASSERT_EQ(control_send(st.control, CTL_SET_REROUTE, &other), 0);
    fault("Set reroute", "EIO", 2);  // the save's second one
    if (c.get_refused) fault("Get reroute", "EIO", 0);
    st.routes[ROUTE_INPUT] = routing(1, {3, 0, 1});
    st.routes[ROUTE_OUTPUT] = routing(2, {1});
    st.routes[ROUTE_DUPLEX] = routing(3, {1});
    SaveOutcome out;
    ASSERT_EQ(save_routing(st, &out), 0) << c.name;
    EXPECT_EQ(out.boxes, (std::vector<std::string>{
                             "The driver refused the /dev/dsp output routing: Input/output error"}))
        << c.name;
    EXPECT_EQ(out.after_screen, (std::vector<std::string>{"Set reroute: Input/output error"}));
    EXPECT_EQ(map_text(), c.file) << c.name;
  }
}

// One save at a time: a second save waits for the first to end, and gives up
// with a box, sending nothing, when the wait runs out.
TEST_F(PanelDriver, SaveWaitsForAnotherPanelsSave) {
  driver_lists({0, 1}, {1, 0}, {0});
  std::string error;
  ASSERT_EQ(load_routing(st, &error), 0) << error;
  st.routes[ROUTE_INPUT] = routing(1, {1, 0});
  const std::string lock = install / PANEL_SAVE_LOCK;
  long holder = 0;
  size_t before = journal("Set reroute").size();

  int fd = take_file_lock(lock.c_str(), &holder);
  ASSERT_GE(fd, 0);
  st.save_wait_ms = 50;
  SaveOutcome refused;
  EXPECT_EQ(save_routing(st, &refused), -1);
  EXPECT_EQ(refused.boxes, (std::vector<std::string>{"Another control panel is saving (pid " +
                                                      std::to_string(getpid()) + ")"}));
  EXPECT_EQ(journal("Set reroute").size(), before);
  EXPECT_FALSE(kvltest::file_exists(install / "etc/dspdevs.map"));

  std::atomic<bool> released{false};
  std::thread other([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    released = true;
    close(fd);
  });
  st.save_wait_ms = 5000;
  SaveOutcome out;
  EXPECT_EQ(save_routing(st, &out), 0);
  EXPECT_TRUE(released);  // it waited for the other save
  other.join();
  EXPECT_EQ(journal("Set reroute").size(), before + 3);
  EXPECT_EQ(map_text(), "1 0 \n1 0 \n0 \n");
}

// Panels saving at the same moment, started together: whichever saves
// last, the driver's lists and the file are the same, round after round.
TEST_F(PanelDriver, PanelsSavingTogetherLeaveDriverAndFileAgreeing) {
  driver_lists({0, 1}, {1, 0}, {0});
  std::string error;
  ASSERT_EQ(load_routing(st, &error), 0) << error;
  auto driver_text = [&] {
    std::string text;
    for (int k = 0; k < ROUTE_COUNT; k++) {
      RoutingRecord rec = {};
      rec.mode = k + 1;
      if (control_send(st.control, CTL_GET_REROUTE, &rec) != 0) return std::string("refused");
      for (int i = 0; i < rec.count; i++) text += std::to_string(rec.devices[i]) + " ";
      text += "\n";
    }
    return text;
  };
  for (int round = 0; round < 20; round++) {
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (int who = 0; who < 2; who++) {
      pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        close(go[1]);
        char c;
        (void)!read(go[0], &c, 1);  // all start when the pipe closes
        std::vector<int> order = who == 0 ? std::vector<int>{0, 1} : std::vector<int>{1, 0};
        for (int k = 0; k < ROUTE_COUNT; k++) st.routes[k] = routing(k + 1, order);
        SaveOutcome out;
        _exit(save_routing(st, &out) == 0 && out.boxes.empty() ? 0 : 1);
      }
      children.push_back(pid);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t pid : children) {
      int status = 0;
      waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
    }
    ASSERT_EQ(map_text(), driver_text()) << "round " << round;
  }
}

TEST_F(PanelDriver, UnwritableEtcSendsNothing) {
  std::filesystem::remove(install / "etc");
  st.routes[ROUTE_INPUT] = routing(1, {1, 0});
  SaveOutcome out;
  EXPECT_EQ(save_routing(st, &out), -1);
  std::string path = install / "etc/dspdevs.map";
  EXPECT_EQ(out.boxes,
            (std::vector<std::string>{"Cannot write " + path + ": No such file or directory"}));
  EXPECT_EQ(out.after_screen, (std::vector<std::string>{path + ": No such file or directory",
                                                        "Saving config failed"}));
  EXPECT_TRUE(journal("Set reroute").empty());
}

// The requests went out but the file could not be replaced: the old file
// stays whole and the user learns of it in a box and after the screen.
TEST_F(PanelDriver, FailedWriteAfterTheRequests) {
  std::filesystem::create_directories(install / "etc/dspdevs.map/taken");
  SaveOutcome out;
  EXPECT_EQ(save_routing(st, &out), 0);
  std::string path = install / "etc/dspdevs.map";
  std::string why = std::strerror(EISDIR);
  EXPECT_EQ(out.boxes, (std::vector<std::string>{"Cannot write " + path + ": " + why}));
  EXPECT_EQ(out.after_screen, (std::vector<std::string>{path + ": " + why, "Saving config failed"}));
  EXPECT_EQ(journal("Set reroute").size(), 3u);
  // No temporary file is left beside it; the save lock stays, as locks do.
  std::vector<std::string> left;
  for (const auto &e : std::filesystem::directory_iterator(install / "etc"))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".audpanel.lock", "dspdevs.map"}));
}

// The simulator's audio nodes: no device behind a node is ENXIO, as the
// driver answers; written bytes count as played, reads give silence.
TEST_F(PanelDriver, AudioNodesCountBytesAndNeedADevice) {
  kvlsim("mknod", {"/dev/dsp0", "14", "3", "0666"});
  errno = 0;
  EXPECT_EQ(sys_open("/dev/dsp0", O_WRONLY), -1);
  EXPECT_EQ(errno, ENXIO);
  kvlsim("addcard", {"SB16", "220", "5", "1", "5"});
  kvlsim("activate");
  int fd = sys_open("/dev/dsp0", O_RDWR);
  ASSERT_GE(fd, 0);
  char buf[300];
  std::memset(buf, 7, sizeof buf);
  EXPECT_EQ(sys_write(fd, buf, 300), 300);
  EXPECT_EQ(sys_write(fd, buf, 20), 20);
  EXPECT_EQ(sys_read(fd, buf, 200), 200);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(buf[199], 0);
  EXPECT_EQ(buf[200], 7);
  sys_close(fd);
  json audio = json::parse(run({bin("kvlsim"), "state", root()}).out)["audio"][0];
  EXPECT_EQ(audio["played"], 320);
  EXPECT_EQ(audio["recorded"], 200);
}

}  // namespace
