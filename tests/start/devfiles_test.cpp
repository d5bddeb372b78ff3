// Device files under the simulated /dev after start-up: numbers, modes,
// links, nodes already there, and the extra dsp files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "startup_fixture.h"

using starttest::Startup;
using testing::HasSubstr;
using testing::Not;

namespace {

using starttest::kCard;

// A machine whose SB16 brings `audios` audio devices, with major `major`.
std::string machine(int audios, int major = 14) {
  std::string list;
  for (int i = 0; i < audios; i++) list += (i ? ", " : "") + std::string("\"dsp\"");
  return R"({"major": )" + std::to_string(major) +
         R"(, "drivers": [{"name": "SB16", "key": 3}],
      "isa": [{"card": "SB16", "driver": "SB16", "port": "0x220", "irq": 5, "dma": 1, "dma2": 5,
               "audio": [)" + list + "]}]}";
}

TEST(DeviceFiles, NumbersNamesAndLinks) {
  Startup s;
  ASSERT_EQ(s.audcore("", kCard).status, 0);
  std::string dev = s.machine.kvlsim("devices").out;
  for (const char *line : {
           "/dev/mixer0 c 0666 14 0\n", "/dev/mixer7 c 0666 14 112\n", "/dev/sequencer c 0666 14 1\n",
           "/dev/midi00 c 0666 14 2\n", "/dev/midi07 c 0666 14 114\n", "/dev/dsp0 c 0666 14 3\n",
           "/dev/dsp1 c 0666 14 19\n", "/dev/dsp15 c 0666 14 243\n", "/dev/audio0 c 0666 14 4\n",
           "/dev/audio15 c 0666 14 244\n", "/dev/dspW15 c 0666 14 245\n",
           "/dev/sndstat c 0666 14 6\n", "/dev/dmfm0 c 0666 14 7\n", "/dev/music c 0666 14 8\n",
           "/dev/mixer -> /dev/mixer0\n", "/dev/dsp -> /dev/dsp0\n", "/dev/dspW -> /dev/dspW0\n",
           "/dev/midi -> /dev/midi00\n", "/dev/dmdsp0 -> /dev/dsp\n",
           "/dev/sequencer2 -> /dev/music\n", "/dev/dmmidi0 -> /dev/midi\n"})
    EXPECT_THAT(dev, HasSubstr(line));
  EXPECT_THAT(dev, Not(HasSubstr("/dev/audio ")));  // the audio series has no link
  EXPECT_THAT(dev, Not(HasSubstr("/dev/midi0 ")));
  EXPECT_THAT(dev, Not(HasSubstr("/dev/dsp16")));
  // 8 mixers + 16 * 3 audio series + sndstat, music, sequencer, dmfm0 + 8 midi + 7 links
  EXPECT_EQ(std::count(dev.begin(), dev.end(), '\n'), 8 + 48 + 4 + 8 + 7);
}

TEST(DeviceFiles, SecureAudioRestrictsOnlyTheAudioFiles) {
  Startup s;
  ASSERT_EQ(s.audcore("", std::string("/SECUREAUDIO ON\n/DSPX\n") + kCard).status, 0);
  std::string dev = s.machine.kvlsim("devices").out;
  for (const char *line : {"/dev/dsp0 c 0622 14 3\n", "/dev/dsp3 c 0622 14 51\n",
                           "/dev/audio3 c 0622 14 52\n", "/dev/dspW3 c 0622 14 53\n",
                           "/dev/dsp40 c 0622 14 139\n", "/dev/mixer3 c 0666 14 48\n",
                           "/dev/mixer0 c 0666 14 0\n", "/dev/music c 0666 14 8\n",
                           "/dev/midi00 c 0666 14 2\n", "/dev/sequencer c 0666 14 1\n"})
    EXPECT_THAT(dev, HasSubstr(line));
}

TEST(DeviceFiles, ExistingNodesAreKeptOrReplaced) {
  Startup s(machine(1, 30));
  // Right number, narrow mode: kept, mode opened. Wrong number or not a node:
  // replaced.
  ASSERT_EQ(s.machine.kvlsim("mknod", {"/dev/dsp0", "30", "3", "0600"}).status, 0);
  ASSERT_EQ(s.machine.kvlsim("mknod", {"/dev/dsp1", "14", "19", "0666"}).status, 0);
  kvltest::write_file(s.machine.root() + "/dev/dsp2", "not a node\n");
  struct stat before;
  ASSERT_EQ(stat((s.machine.root() + "/dev/dsp0").c_str(), &before), 0);

  ASSERT_EQ(s.audcore("", kCard).status, 0);
  std::string dev = s.machine.kvlsim("devices").out;
  EXPECT_THAT(dev, HasSubstr("/dev/dsp0 c 0666 30 3\n"));
  EXPECT_THAT(dev, HasSubstr("/dev/dsp1 c 0666 30 19\n"));
  EXPECT_THAT(dev, HasSubstr("/dev/dsp2 c 0666 30 35\n"));
  struct stat after;
  ASSERT_EQ(stat((s.machine.root() + "/dev/dsp0").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // not re-created

  // With secure audio the kept node gets 0622.
  Startup t(machine(1));
  ASSERT_EQ(t.machine.kvlsim("mknod", {"/dev/dsp0", "14", "3", "0600"}).status, 0);
  ASSERT_EQ(t.audcore("", std::string("/SECUREAUDIO ON\n") + kCard).status, 0);
  EXPECT_THAT(t.machine.kvlsim("devices").out, HasSubstr("/dev/dsp0 c 0622 14 3\n"));
}

TEST(DeviceFiles, ExtraDspFilesFromDspxOrMoreThanSixteenAudioDevices) {
  struct Case {
    int audios;
    const char *config;
    bool extra;
  } cases[] = {{16, "", false}, {17, "", true}, {1, "/DSPX\n", true}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.audios);
    Startup s(machine(c.audios));
    ASSERT_EQ(s.audcore("", std::string(c.config) + kCard).status, 0);
    std::string dev = s.machine.kvlsim("devices").out;
    if (!c.extra) {
      EXPECT_THAT(dev, Not(HasSubstr("/dev/dsp16")));
      continue;
    }
    for (const char *line : {"/dev/dsp16 c 0666 14 10\n", "/dev/dsp31 c 0666 14 250\n",
                             "/dev/dsp32 c 0666 14 11\n", "/dev/dsp47 c 0666 14 251\n",
                             "/dev/dsp48 c 0666 14 12\n", "/dev/dsp63 c 0666 14 252\n"})
      EXPECT_THAT(dev, HasSubstr(line));
    EXPECT_THAT(dev, Not(HasSubstr("/dev/dsp64")));
  }
}

TEST(DeviceFiles, FailedSysinfoIsReportedAndTheFilesStillMade) {
  Startup s;
  ASSERT_EQ(s.machine.kvlsim("fault", {"KVL_SYSINFO", "EIO"}).status, 0);
  auto r = s.audcore("", kCard);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "KVL_SYSINFO: Input/output error\n");
  EXPECT_THAT(s.machine.kvlsim("devices").out, HasSubstr("/dev/dsp1 c 0666 14 19\n"));
}

}  // namespace
