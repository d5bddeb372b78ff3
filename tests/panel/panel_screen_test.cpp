// audpanel on a pseudo-terminal against the demo machine started with
// audstart (five audio devices: 0 SB16 DSP, 1 AWE64 DSP, 2 ES1371 DAC1,
// 3 ES1371 DAC2, 4 ICH5 AC97 multichannel), with the driver's journal and the
// saved etc/dspdevs.map checked after each path.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "installed.h"
#include "support.h"
#include "termharness.h"

using kvltest::Key;
using kvltest::Terminal;
using nlohmann::json;
using testing::HasSubstr;

namespace {

const std::string kMenu = "Kelvane - Control menu";

// An installation with the programs audstart runs and the panel's self test
// needs, the demo configuration and kvltest's help text, named by the
// machine's /etc/kvl.conf; etc/dspdevs.map holds dspdevs_map unless empty.
struct Panel : kvltest::Installed {
  explicit Panel(const std::string &dspdevs_map = "")
      : Installed("", "",
                  {.folders = {"logs"},
                   .programs = {"audcore", "audstart", "audstop", "kvlsim", "kvlconf.sh", "audpanel", "kvltest"},
                   .shipped = {"etc/devices.cfg", "docs/README.kvltest"},
                   .named = true}) {
    if (!dspdevs_map.empty()) write("etc/dspdevs.map", dspdevs_map);
  }
  std::string map_path() const { return path("etc/dspdevs.map"); }
  void start() const {
    auto r = tool("audstart");
    ASSERT_EQ(r.status, 0) << r.err << read("logs/audstart.log");
  }
  // Starts audpanel and waits for its menu.
  bool panel(Terminal &t, const std::vector<std::string> &args = {}) const {
    std::vector<std::string> argv = {kvltest::bin("audpanel")};
    argv.insert(argv.end(), args.begin(), args.end());
    return t.start(argv, env()) && drawn(t, kMenu);
  }
  json routing() const { return json::parse(machine.kvlsim("state").out)["routing"]; }
  kvltest::RunResult fault(const std::vector<std::string> &args) const {
    return machine.kvlsim("fault", args);
  }
};

std::vector<int> devices_of(const json &j) { return j["devices"].get<std::vector<int>>(); }

// Menu rows: the six items from row 1. The reorder dialog's items from row 4.
constexpr int kInputItem = 3;
constexpr int kDialogRow = 4;

void open_dialog(Terminal &t, int item) {
  t.press(Key::Down, item);
  t.press(Key::Enter);
}

// Presses the dialog's button n (1 Move Up, 2 Move Down, 3 OK, 4 Cancel).
void button(Terminal &t, int n) {
  t.press(Key::Tab, n);
  t.press(Key::Enter);
}

TEST(PanelStart, FatalErrorsBeforeTheScreen) {
  std::string nxio =
      std::string("There are no sound devices available.\n"
                  "The most likely reason is that the device you have\n"
                  "is malfunctioning or it's not supported by KVL.\n"
                  "It's also possible that you are trying to use wrong device file.\n"
                  "Please fill the problem report at\n"
                  "https://www.kelvane.org/support/problem-report\n");
  struct Case {
    const char *errno_name;
    int err;
    std::string explanation;
  } cases[] = {
      {"ENOENT", ENOENT,
       "The device file is missing from /dev.\nPerhaps you have not installed Kelvane yet\n"},
      {"ENXIO", ENXIO, nxio},
      {"EBUSY", EBUSY, "The device is busy. There is some other application\nusing it.\n"},
      {"ENODEV", ENODEV,
       "The device file was found in /dev but\nKVL is not loaded. You need to load it by "
       "executing\nthe audstart command.\n"},
      {"ENOSPC", ENOSPC,
       "Your system cannot allocate memory for the device\nbuffers. Reboot your machine and try "
       "again.\n"},
      {"EACCES", EACCES, ""},
  };
  for (const Case &c : cases) {
    Panel s;
    ASSERT_EQ(s.fault({"--open", "/dev/mixer0", c.errno_name}).status, 0);
    auto r = s.run({kvltest::bin("audpanel"), "-v", "vv", "-x"});
    EXPECT_EQ(r.status, 255) << c.errno_name;
    EXPECT_EQ(r.err, "Warning: Unrecognized option x\n/dev/mixer0: " +
                         std::string(std::strerror(c.err)) + "\n" + c.explanation)
        << c.errno_name;
    EXPECT_EQ(r.out, "");
  }

  // /etc/kvl.conf missing, or without a KVLLIBDIR= line.
  Panel s;
  std::string conf = s.machine.root() + "/etc/kvl.conf";
  std::filesystem::remove(conf);
  auto r = s.run({kvltest::bin("audpanel")});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "/etc/kvl.conf: " + std::string(std::strerror(ENOENT)) + "\n");
  kvltest::write_file(conf, "# KVLLIBDIR=/opt/a\nKVLLIBDIR =/opt/b\n");
  r = s.run({kvltest::bin("audpanel")});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "Error: KVLLIBDIR not set in /etc/kvl.conf\n");
}

// A closed standard input is an empty one: nothing the panel opens later
// takes its place, so no byte of a device is read as a key.
TEST(PanelStart, ClosedInputIsTheEndOfTerminalInput) {
  for (const char *redirect : {"</dev/null", "<&-"}) {
    SCOPED_TRACE(redirect);
    Panel s;
    s.start();
    size_t from = s.machine.journal_size();
    auto r = s.run({"/bin/sh", "-c", std::string("exec \"$0\" ") + redirect, kvltest::bin("audpanel")},
                   {"TERM=xterm"});
    EXPECT_EQ(r.status, 255);
    EXPECT_THAT(r.err, HasSubstr("End of terminal input\n"));
    EXPECT_TRUE(s.machine.requests("Set reroute", from).empty());
    EXPECT_FALSE(kvltest::file_exists(s.map_path()));
  }
}

// The check's fatal errors come after the screen started: it ends first, so
// the lines stay readable.
TEST(PanelStart, SysinfoRefusedEndsTheScreenThenPrints) {
  struct Case {
    const char *errno_name;
    std::vector<std::string> lines;
  } cases[] = {
      {"EINVAL", {"KVL_SYSINFO: Invalid argument", "Error: KVL version 3.9.7 or later is required"}},
      {"EIO", {"KVL_SYSINFO: Input/output error"}},
  };
  for (const Case &c : cases) {
    Panel s;
    s.start();
    ASSERT_EQ(s.fault({"KVL_SYSINFO", c.errno_name}).status, 0);
    Terminal t;
    ASSERT_TRUE(t.start({kvltest::bin("audpanel")}, s.env()));
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.exit_status(), 255);
    // Whole rows below the newline that ends the screen: the terminal is back
    // in line mode (a screen left up would print them as a staircase).
    for (size_t i = 0; i < c.lines.size(); i++)
      EXPECT_EQ(t.row(static_cast<int>(i) + 1), c.lines[i]) << t.screen();
    if (c.lines.size() == 1) {
      EXPECT_FALSE(t.contains("3.9.7")) << t.screen();
    }
  }
}

TEST(PanelMenu, OptionsEscapeAndDiscard) {
  Panel s;
  s.start();
  Terminal t;
  ASSERT_TRUE(s.panel(t, {"-v", "vv", "-x"})) << t.screen();
  EXPECT_EQ(t.row(1), "│ Save changes and Exit" + std::string(56, ' ') + "│");
  EXPECT_THAT(t.row(6), HasSubstr("/dev/dsp duplex device assignment"));
  EXPECT_THAT(t.row(22), HasSubstr("[Save and exit]"));
  EXPECT_THAT(t.row(22), HasSubstr("[Exit without saving]"));
  EXPECT_TRUE(t.cell(1, 2).reverse);
  t.press(Key::Down, 2);
  ASSERT_TRUE(t.wait_until([&] { return t.cell(3, 2).reverse; })) << t.screen();
  t.press(Key::Escape);
  // Escape stays in the panel, back at the first item.
  ASSERT_TRUE(t.wait_until([&] { return t.cell(1, 2).reverse && !t.cell(3, 2).reverse; }))
      << t.screen();
  EXPECT_TRUE(t.running());
  t.press(Key::Down);
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for("Exit without saving changes")) << t.screen();
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.exit_status(), 0);
}

TEST(PanelMenu, NoAudioDevices) {
  Panel s;  // the driver is loaded but has no card
  Terminal t;
  ASSERT_TRUE(s.panel(t)) << t.screen();
  EXPECT_TRUE(s.machine.requests("SNDCTL_AUDIOINFO").empty());
  EXPECT_EQ(s.machine.requests("Get reroute").size(), 3u);
  open_dialog(t, kInputItem);
  ASSERT_TRUE(t.wait_for("No devices to reorder")) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(Panel::drawn(t, kMenu)) << t.screen();
}

TEST(PanelRouting, DialogLinesAndUnknownDevice) {
  Panel s("3 0 1 \n4 2 \n0 \n");
  s.start();
  // Five audio-info requests for the check; the dialog's first one fails.
  ASSERT_EQ(s.fault({"SNDCTL_AUDIOINFO", "EIO", "6"}).status, 0);
  Terminal t;
  ASSERT_TRUE(s.panel(t)) << t.screen();
  open_dialog(t, kInputItem + 1);
  ASSERT_TRUE(Panel::drawn(t, "Reorder devices")) << t.screen();
  EXPECT_THAT(t.row(1), HasSubstr("Select a device and move it up/down with the function buttons"));
  EXPECT_THAT(t.row(kDialogRow), HasSubstr("/dev/dsp4: unknown "));
  EXPECT_THAT(t.row(kDialogRow + 1), HasSubstr("/dev/dsp2: ES1371 DAC1 "));
  EXPECT_THAT(t.row(22), HasSubstr("[ Move Up ]"));
  EXPECT_THAT(t.row(22), HasSubstr("[ Cancel ]"));
  // Escape in the dialog goes on: the list is built again, with fresh
  // information this time.
  t.press(Key::Escape);
  ASSERT_TRUE(t.wait_for("/dev/dsp4: ICH5 AC97 multichannel (MULTICH) (AC3)")) << t.screen();
  EXPECT_THAT(t.row(0), HasSubstr("Reorder devices"));
}

TEST(PanelRouting, CancelAfterMovesSendsNothing) {
  std::string map = "3 0 1 \n4 2 \n0 \n";
  Panel s(map);
  s.start();
  size_t from = s.machine.journal_size();
  Terminal t;
  ASSERT_TRUE(s.panel(t)) << t.screen();
  open_dialog(t, kInputItem);
  ASSERT_TRUE(t.wait_for("/dev/dsp3: ES1371 DAC2")) << t.screen();
  button(t, 2);  // Move Down: 0 3 1
  // The highlight follows the device.
  ASSERT_TRUE(t.wait_until([&] {
    return t.row(kDialogRow + 1).find("/dev/dsp3") != std::string::npos &&
           t.cell(kDialogRow + 1, 2).reverse;
  })) << t.screen();
  button(t, 4);  // Cancel
  ASSERT_TRUE(Panel::drawn(t, kMenu)) << t.screen();
  open_dialog(t, kInputItem);
  ASSERT_TRUE(t.wait_until([&] {
    return t.row(kDialogRow).find("/dev/dsp3: ES1371 DAC2") != std::string::npos;
  })) << t.screen();
  button(t, 4);
  ASSERT_TRUE(Panel::drawn(t, kMenu)) << t.screen();
  open_dialog(t, 1);  // Cancel changes and Exit
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
  EXPECT_TRUE(s.machine.requests("Set reroute", from).empty());
  EXPECT_EQ(kvltest::read_file(s.map_path()), map);
}

TEST(PanelRouting, SavedRoutingReachesEveryStart) {
  Panel s("3 0 1 \n4 2 \n0 \n");
  s.start();
  size_t from = s.machine.journal_size();
  Terminal t;
  ASSERT_TRUE(s.panel(t)) << t.screen();
  open_dialog(t, kInputItem);
  ASSERT_TRUE(t.wait_for("/dev/dsp1: AWE64 DSP")) << t.screen();
  // Highlight on 1 (the third line), Move Up: 3 1 0, the highlight on 1.
  t.press(Key::Down, 2);
  button(t, 1);
  // The list is redrawn row by row: wait for both rows that the move changes.
  ASSERT_TRUE(t.wait_until([&] {
    return t.row(kDialogRow + 1).find("/dev/dsp1") != std::string::npos &&
           t.row(kDialogRow + 2).find("/dev/dsp0: SB16 DSP") != std::string::npos &&
           t.cell(kDialogRow + 1, 2).reverse;
  })) << t.screen();
  // Move Down on the last line changes nothing (the saved file shows it).
  t.press(Key::Down);
  button(t, 2);
  button(t, 3);  // OK
  ASSERT_TRUE(Panel::drawn(t, kMenu)) << t.screen();
  t.press(Key::Enter);  // Save changes and Exit, the first item again
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);

  std::string saved = "3 1 0 \n4 2 \n0 \n";
  EXPECT_EQ(kvltest::read_file(s.map_path()), saved);
  auto sent = s.machine.requests("Set reroute", from);
  ASSERT_EQ(sent.size(), 3u);
  std::vector<std::vector<int>> lists = {{3, 1, 0}, {4, 2}, {0}};
  for (int k = 0; k < 3; k++) {
    EXPECT_EQ(sent[k]["mode"], k + 1);
    EXPECT_EQ(devices_of(sent[k]), lists[k]);
  }

  // A restart and a second start-up both give the driver the saved lists.
  ASSERT_EQ(s.tool("audstop").status, 0);
  for (int run = 0; run < 2; run++) {
    from = s.machine.journal_size();
    s.start();
    sent = s.machine.requests("Set reroute", from);
    ASSERT_EQ(sent.size(), 3u) << run;
    for (int k = 0; k < 3; k++) EXPECT_EQ(devices_of(sent[k]), lists[k]) << run;
    json routing = s.routing();
    EXPECT_EQ(routing["input"].get<std::vector<int>>(), lists[0]);
    EXPECT_EQ(routing["output"].get<std::vector<int>>(), lists[1]);
    EXPECT_EQ(routing["duplex"].get<std::vector<int>>(), lists[2]);
  }
}

// The driver refuses the output list: a box, the panel still ends with 0, the
// output line holds the driver's list and the duplex line stays third.
TEST(PanelRouting, RefusedSetRerouteKeepsTheLines) {
  Panel s("3 0 1 \n4 2 \n0 \n");
  s.start();
  ASSERT_EQ(s.fault({"Set reroute", "EIO", "2"}).status, 0);
  Terminal t;
  ASSERT_TRUE(s.panel(t)) << t.screen();
  open_dialog(t, kInputItem + 1);
  ASSERT_TRUE(t.wait_for("/dev/dsp2: ES1371 DAC1")) << t.screen();
  button(t, 1);  // Move Up on the first line: nothing moves
  ASSERT_TRUE(Panel::drawn(t, "Reorder devices")) << t.screen();
  t.press(Key::Down);
  button(t, 1);  // 2 4
  ASSERT_TRUE(t.wait_until([&] { return t.row(kDialogRow).find("/dev/dsp2") != std::string::npos; }))
      << t.screen();
  button(t, 3);
  ASSERT_TRUE(Panel::drawn(t, kMenu)) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_for("The driver refused the /dev/dsp output routing: Input/output error"))
      << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
  EXPECT_TRUE(t.contains("Set reroute: Input/output error")) << t.screen();
  EXPECT_EQ(kvltest::read_file(s.map_path()), "3 0 1 \n4 2 \n0 \n");
  EXPECT_EQ(s.routing()["output"].get<std::vector<int>>(), (std::vector<int>{4, 2}));
}

// Without etc/ nothing is sent and the menu comes back, the reordering kept.
TEST(PanelRouting, InstallationWithoutEtc) {
  Panel s;
  s.start();
  std::filesystem::remove_all(s.path("etc"));
  size_t from = s.machine.journal_size();
  Terminal t;
  ASSERT_TRUE(s.panel(t)) << t.screen();
  t.press(Key::Enter);
  // The box cuts the long path; the whole line follows the screen's end.
  ASSERT_TRUE(t.wait_for("Cannot write " + s.map_path().substr(0, 20))) << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(Panel::drawn(t, kMenu)) << t.screen();
  EXPECT_TRUE(s.machine.requests("Set reroute", from).empty());
  open_dialog(t, 1);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_status(), 0);
  EXPECT_TRUE(t.contains(s.map_path() + ": No such file or directory")) << t.screen();
  // The save's verdict follows the path line.
  int r = 0;
  while (r < t.rows() && t.row(r).find(s.map_path() + ": No such") == std::string::npos) r++;
  ASSERT_LT(r + 1, t.rows()) << t.screen();
  EXPECT_EQ(t.row(r + 1).rfind("Saving config failed", 0), 0u) << t.screen();
}

// An empty value or one with a NUL byte names nothing: the next usable line
// does, so the routing is never written over the file before the NUL.
TEST(PanelRouting, DamagedKvllibdirValuesNameNothing) {
  Panel s;
  s.start();
  using namespace std::string_literals;
  s.write_kvl_conf("KVLLIBDIR=\nKVLLIBDIR="s + s.dir + "/victim\0/x\nKVLLIBDIR=/opt/b\n"s);
  s.write("victim", "keep\n");
  Terminal t;
  ASSERT_TRUE(s.panel(t)) << t.screen();
  t.press(Key::Enter);
  EXPECT_TRUE(t.wait_for("Cannot write /opt/b/etc/dspdevs.map:")) << t.screen();
  EXPECT_EQ(kvltest::read_file(s.path("victim")), "keep\n");
}

constexpr int kSelfTestItem = 2;
const std::string kResults = "KVL Audio Self Test results";

// The self test with the real kvltest: every device plays, the verdict box,
// then the results window with README.kvltest, the separator lines and the log.
TEST(PanelSelfTest, AllTestsOkOnTheDemoMachine) {
  Panel s;
  s.start();
  Terminal t;
  ASSERT_TRUE(s.panel(t)) << t.screen();
  open_dialog(t, kSelfTestItem);
  ASSERT_TRUE(t.wait_for("All tests completed successfully.", 20000)) << t.screen();
  json state = json::parse(s.machine.kvlsim("state").out);  // kept: the loop reads into it
  for (const json &dev : state["audio"]) EXPECT_GT(dev.value("played", 0), 0) << dev.dump();
  EXPECT_EQ(kvltest::read_file(s.path("logs/kvltest.log")).rfind("All tests OK\n"),
            kvltest::read_file(s.path("logs/kvltest.log")).size() - 13);
  t.press(Key::Enter);
  ASSERT_TRUE(Panel::drawn(t, kResults)) << t.screen();
  EXPECT_THAT(t.row(1), HasSubstr("kvltest checks the sound driver"));
  EXPECT_TRUE(t.contains("│ Self test log ")) << t.screen();
  EXPECT_TRUE(t.contains("│ ============= ")) << t.screen();
  EXPECT_THAT(t.row(22), HasSubstr("[  Ok  ]"));
  t.press(Key::PageDown, 2);
  EXPECT_TRUE(t.wait_for("All tests OK")) << t.screen();
  button(t, 1);
  ASSERT_TRUE(Panel::drawn(t, kMenu)) << t.screen();
}

TEST(PanelSelfTest, OpenFaultFailsAndAMissingReadmeIsSaid) {
  Panel s;
  s.start();
  std::filesystem::remove(s.path("docs/README.kvltest"));
  ASSERT_EQ(s.fault({"--open", "/dev/dsp2", "EBUSY"}).status, 0);
  Terminal t;
  ASSERT_TRUE(s.panel(t)) << t.screen();
  open_dialog(t, kSelfTestItem);
  ASSERT_TRUE(t.wait_for("One or more errors were detected during the self test", 20000))
      << t.screen();
  t.press(Key::Enter);
  ASSERT_TRUE(Panel::drawn(t, kResults)) << t.screen();
  EXPECT_THAT(t.row(1), HasSubstr("Failed to open the log file"));
  EXPECT_THAT(t.row(3), HasSubstr("Self test log"));
  EXPECT_THAT(kvltest::read_file(s.path("logs/kvltest.log")),
              HasSubstr("/dev/dsp2: open for writing: FAILED (Device or resource busy)\n"));
}

// kvltest alone: the last line and the exit status decide; no earlier line
// holds "OK", so a run cut short never passes.
TEST(Kvltest, LastLineAndStatus) {
  struct Case {
    const char *name;
    std::vector<std::string> args;
    std::string input;
    bool start;
    const char *fault;
    int status;
    std::string last;
  } cases[] = {
      {"full, not asking", {"-C"}, "", true, nullptr, 0, "All tests OK"},
      {"quick", {"-q", "-C"}, "", true, nullptr, 0, "All tests OK"},
      {"a tone not heard", {"-q"}, "y\nn\ny\ny\ny\n", true, nullptr, 1, "1 tests FAILED"},
      {"no audio device", {"-C"}, "", false, nullptr, 1, "1 tests FAILED"},
      {"driver information refused", {"-C"}, "", true, "KVL_SYSINFO", 1, "1 tests FAILED"},
      {"bad usage", {"-C", "-x"}, "", false, nullptr, 2, ""},
  };
  for (const Case &c : cases) {
    Panel s;
    if (c.start) s.start();
    if (c.fault) {
      ASSERT_EQ(s.fault({c.fault, "EIO"}).status, 0);
    }
    std::vector<std::string> argv = {kvltest::bin("kvltest")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    auto r = s.run(argv, {}, c.input);
    EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.out;
    if (c.status == 2) {
      EXPECT_EQ(r.err, "Usage: kvltest [-q] [-C] [-l FILE]\n");
      continue;
    }
    ASSERT_FALSE(r.out.empty()) << c.name;
    std::string body = r.out.substr(0, r.out.size() - 1);
    size_t cut = body.rfind('\n');
    EXPECT_EQ(body.substr(cut + 1), c.last) << c.name;
    EXPECT_EQ(body.substr(0, cut).find("OK"), std::string::npos) << c.name << "\n" << r.out;
    bool recorded = r.out.find("records a block") != std::string::npos;
    EXPECT_EQ(recorded, c.start && !c.fault && c.args[0] != "-q") << c.name;
  }
}

}  // namespace
