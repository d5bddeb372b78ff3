// kvlcfg status on the simulator: a started demo machine, a card that
// failed, a driver that is not loaded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "kvlcfg_fixture.h"

using namespace kvltest;
using testing::HasSubstr;

namespace {

TEST(KvlcfgStatus, StartedDemoMachine) {
  Kvl k;
  k.write("etc/options.cfg", "softkvl_rate=48000\n");
  k.write("etc/dspdevs.map", "4 3 2 1 0 \n");
  ASSERT_TRUE(k.started()) << k.read("logs/audstart.log");
  RunResult r = k.kvlcfg({"status"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(r.out, testing::StartsWith(
                         "Driver: loaded, cards active\n"
                         "Status word: AUDSTART_OK\n"
                         "Card 1 SB16: Sound Blaster 16 (jumper configured): up\n"
                         "Card 2 MPU401: MPU-401 compatible MIDI interface: up\n"
                         "Card 3 CTL0044: Sound Blaster AWE32 (PnP): up\n"
                         "Card 4 ES1371: Ensoniq AudioPCI 97 (ES1371/ES1373): up\n"
                         "Card 5 ICH5: Intel ICH5 AC97 audio: up\n"
                         "Device files:\n"
                         "   /dev/mixer0 0666\n"));
  EXPECT_THAT(r.out, HasSubstr("   /dev/dspW4 0666\n   /dev/sequencer 0666\n"));
  EXPECT_THAT(r.out, HasSubstr("Routing of /dev/dsp:\n"
                               "   input: 4 3 2 1 0 (as etc/dspdevs.map)\n"
                               "   output: 0 1 2 3 4 (not in etc/dspdevs.map)\n"));
  EXPECT_THAT(r.out, testing::EndsWith("Options (etc/options.cfg):\n   softkvl_rate=48000\n"));

  nlohmann::json j = k.json({"status"});
  EXPECT_EQ(j["ok"], true);
  EXPECT_EQ(j["driver"]["active"], true);
  EXPECT_EQ(j["status_word"], "AUDSTART_OK");
  ASSERT_EQ(j["cards"].size(), 5u);
  for (const auto &c : j["cards"]) EXPECT_EQ(c["state"], "up") << c.dump();
  EXPECT_EQ(j["routing"]["input"]["driver"], nlohmann::json::parse("[4, 3, 2, 1, 0]"));
  EXPECT_EQ(j["routing"]["input"]["file"], j["routing"]["input"]["driver"]);
  EXPECT_EQ(j["device_files"][0]["path"], "/dev/mixer0");
  EXPECT_EQ(j["device_files"][0]["mode"], "0666");
  EXPECT_EQ(j["options"][0]["value"], 48000);

  // Secure audio asked for after the start: the files still allow reading.
  ASSERT_EQ(k.kvlcfg({"secure", "on"}).status, 0);
  r = k.kvlcfg({"status"});
  EXPECT_EQ(r.status, 0);  // the cards are still up
  EXPECT_THAT(r.out, HasSubstr("Status word: AUDSET_OK\n"));
  EXPECT_THAT(r.out, HasSubstr("   /dev/dsp0 0666 (start-up gives 0622)\n"));
}

TEST(KvlcfgStatus, FailedCardAndNoDriver) {
  Kvl k(kTwoCards);
  std::string cfg = kTwoCards;
  cfg.replace(cfg.find("I5"), 2, "I7");  // the machine's SB16 answers at IRQ 5
  k.write("etc/devices.cfg", cfg);
  ASSERT_EQ(k.tool("audstart").status, 0);
  RunResult r = k.kvlcfg({"status"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.out, HasSubstr("Card 1 SB16: Sound Blaster 16 (jumper configured): failed\n"
                               "Card 2 MPU401: MPU-401 compatible MIDI interface: up\n"));
  nlohmann::json j = k.json({"status"});
  EXPECT_EQ(j["ok"], false);
  EXPECT_EQ(j["cards"][0]["state"], "failed");

  // A card added since the start is not up yet.
  Kvl later(kTwoCards);
  ASSERT_TRUE(later.started());
  ASSERT_EQ(later.kvlcfg({"add", "ES1371"}).status, 1);  // found by the driver, not added by hand
  ASSERT_EQ(later.kvlcfg({"remove", "2"}).status, 0);
  r = later.kvlcfg({"status"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_THAT(r.out, HasSubstr("Driver card MPU401 at port 330: not in the configuration\n"));
  ASSERT_EQ(later.kvlcfg({"add", "MPU401", "MPU401", "P300"}).status, 0);
  r = later.kvlcfg({"status"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.out, HasSubstr("Card 2 MPU401: MPU-401 compatible MIDI interface: not started\n"));

  ASSERT_EQ(k.machine.kvlsim("unload").status, 0);
  r = k.kvlcfg({"status"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.out, testing::StartsWith("Driver: not loaded\nStatus word: AUDSTART\n"
                                         "Card 1 SB16: Sound Blaster 16 (jumper configured): not started\n"));
}

}  // namespace
