// The records applied to the simulated driver in this process: what is sent
// (read back from the journal) and what is printed, in order, also when the
// driver refuses a request (MachineFixture).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "control/control.h"
#include "machine_fixture.h"
#include "settings/dspdevs_map.h"
#include "settings/mixer_map.h"
#include "settings/options_cfg.h"
#include "settings/start_steps.h"

namespace {

using namespace kvl;
using nlohmann::json;

// The demo machine. Faults make the nth request of a label fail with EINVAL.
class Apply : public kvltest::MachineFixture {
 protected:
  static void fault(const std::string &label, int nth) { MachineFixture::fault(label, "EINVAL", nth); }
};

TEST_F(Apply, OptionsInFileOrderWithProblemsBetween) {
  fault("Set ioctl", 2);
  OptionsFile f;
  parse_options_cfg("bogus\nsoftkvl_rate=48000\nloudness=1\nbe_quiet=yes\nhdaudio_snoopy=1\n", &f);
  testing::internal::CaptureStderr();
  apply_options(f, control);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Invalid line in etc/options.cfg: 'bogus'\n"
            "Config option 'softkvl_rate=48000' defined\n"
            "Unrecognized option name in etc/options.cfg: 'loudness\n"
            "Set ioctl: Invalid argument\n"
            "Config option 'be_quiet=yes' defined\n"
            "Config option 'hdaudio_snoopy=1' defined\n");
  std::vector<std::pair<int, int>> sent;
  for (const json &j : journal("Set ioctl")) sent.emplace_back(j["id"], j["value"]);
  EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{30, 48000}, {5, 0}, {100010, 1}}));
}

TEST_F(Apply, MixerLevelsUpToTheProblemOrTheFirstRefusal) {
  std::string ok = " 4b4b";
  for (int i = 1; i < 32; i++) ok += " " + std::to_string(i);
  MixerMap m;
  parse_mixer_map(std::string(40, 'm') + ok + "\n!mixset a\nAUX" + ok + "\nBAD 1 2\nZ" + ok, &m);

  testing::internal::CaptureStderr();
  apply_mixer_levels(m, control);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Invalid line in mixer.map (BAD)\n");
  auto sent = journal("Mixer setlevels");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0]["name"], std::string(31, 'm'));  // cut to the record's field
  EXPECT_EQ(sent[0]["number"], 0);
  EXPECT_EQ(sent[0]["levels"][0], 0x4b4b);
  EXPECT_EQ(sent[0]["levels"][31], 0x31);
  EXPECT_EQ(sent[1]["name"], "AUX");

  // A refused request ends the sending; the problem is then not reported.
  fault("Mixer setlevels", 2);
  testing::internal::CaptureStderr();
  apply_mixer_levels(m, control);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Mixer setlevels: Invalid argument\n");
  EXPECT_EQ(journal("Mixer setlevels").size(), 4u);
}

TEST_F(Apply, RoutingSentInModeOrderAndPrinted) {
  DspdevsMap m;
  parse_dspdevs_map("3 1 \n\n2\n", &m);
  testing::internal::CaptureStderr();
  apply_routing(m, control);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "/dev/dsp input assignment: 3 1 \n/dev/dsp output assignment: \n"
            "/dev/dsp output assignment: 2 \n");
  auto sent = journal("Set reroute");
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0]["mode"], 1);
  EXPECT_EQ(sent[0]["devices"], json({3, 1}));
  EXPECT_EQ(sent[1]["mode"], 2);
  EXPECT_EQ(sent[1]["count"], 0);
  EXPECT_EQ(sent[2]["devices"], json({2}));

  // A refusal ends the sending after what was printed.
  fault("Set reroute", 2);
  testing::internal::CaptureStderr();
  apply_routing(m, control);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "/dev/dsp input assignment: 3 1 \nreroute: Invalid argument\n");
  EXPECT_EQ(journal("Set reroute").size(), 5u);

  // A bad file sends nothing at all.
  parse_dspdevs_map("0 1\n2 x\n", &m);
  testing::internal::CaptureStderr();
  apply_routing(m, control);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Bad info in dspdevs.map\n");
  EXPECT_EQ(journal("Set reroute").size(), 5u);
}

TEST_F(Apply, StartStepsSkipMissingFilesAndReadPresentOnes) {
  kvltest::TempDir dir;
  testing::internal::CaptureStderr();
  apply_options_cfg(dir.path(), control);
  MixerMapFile mixer_map;
  load_mixer_levels(dir.path(), control, mixer_map);
  run_mixer_commands(dir.path(), mixer_map);
  apply_dspdevs_map(dir.path(), control);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(kvltest::read_file(root() + "/journal.jsonl").find("Set"), std::string::npos);

  std::filesystem::create_directories(dir / "etc");
  kvltest::write_file(dir / "etc/options.cfg", "pnp_reset=1\n");
  kvltest::write_file(dir / "etc/dspdevs.map", "1 \n");
  testing::internal::CaptureStderr();
  apply_options_cfg(dir.path(), control);
  apply_dspdevs_map(dir.path(), control);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Config option 'pnp_reset=1' defined\n/dev/dsp input assignment: 1 \n");
  EXPECT_EQ(journal("Set ioctl").size(), 1u);
  EXPECT_EQ(journal("Set reroute").size(), 1u);
}

}  // namespace
