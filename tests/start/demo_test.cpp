// The shipped start-up files (data/etc) on the built-in demo machine: the
// demo's cards come up, a wrong port makes one fail, and a second start-up on
// the running driver only reports the cards and restores the routing.
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

// The built-in demo machine and an installation with the shipped mixer.map
// and the programs it runs; start-up reads config, the shipped devices.cfg.
struct Demo : kvltest::Installation {
  std::string config = kvltest::read_file(kvltest::shipped_file("etc/devices.cfg"));

  Demo() : Installation("", "", {.programs = {"mixset", "kvlconf.sh"}, .shipped = {"etc/mixer.map"}}) {}
  kvltest::RunResult start() const { return audcore("-vvv", config); }
};

TEST(Demo, ShippedConfigurationStartsEveryCard) {
  Demo d;
  auto r = d.start();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\nKelvane started OK.\n");
  EXPECT_EQ(d.status(), "AUDSTART_OK\n");
  // The two PCI cards have header lines only; the driver finds them on the bus.
  EXPECT_THAT(r.err, HasSubstr("5 cards installed.\n"
                               "      SB16:       SB16:  PORT 0x220 IRQ  5 DMA1  1 DMA2  5\n"
                               "    MPU401:     MPU401:  PORT 0x330 IRQ  9 DMA1 -1 DMA2 -1\n"
                               "       PNP:        PNP:  PORT 0x20b IRQ  0 DMA1 -1 DMA2 -1\n"
                               "    ES1371:     ES1371:  PORT 0x0 IRQ 11 DMA1 -1 DMA2 -1\n"
                               "       ICH:        ICH:  PORT 0x0 IRQ 11 DMA1 -1 DMA2 -1\n"));
  EXPECT_THAT(r.err, Not(HasSubstr("failed")));
  std::vector<std::string> mixers;
  for (const auto &j : d.machine.requests("Mixer setlevels")) mixers.push_back(j["name"]);
  EXPECT_EQ(mixers, (std::vector<std::string>{"SB16", "AWE64"}));
  EXPECT_EQ(d.machine.requests("Set PnP device").size(), 2u);
  EXPECT_EQ(kvltest::read_file(d.path("logs/mixset.log")), "mixset vol=75 pcm=75 synth=75\n");
  EXPECT_THAT(d.machine.kvlsim("devices").out, HasSubstr("/dev/dsp1 c 0666 14 19\n"));
}

TEST(Demo, WrongPortLeavesACardUninitialised) {
  Demo d;
  size_t at = d.config.find("SB16 ON P220");
  ASSERT_NE(at, std::string::npos);
  d.config.replace(at, 12, "SB16 ON P240");
  auto r = d.start();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Warning: Some of the devices failed to initialize.\nSee " +
                       d.dir + "/logs/audstart.log for more info.\n");
  EXPECT_THAT(r.err, HasSubstr("PORT 0x240 IRQ  5 DMA1  1 DMA2  5 (failed to initialize)\n"));
  EXPECT_THAT(r.err, HasSubstr("Warning: Some of the devices failed to initialize\n"));
  EXPECT_EQ(d.status(), "AUDSTART\n");
}

TEST(Demo, SecondStartupOnlyReportsAndRestoresTheRouting) {
  Demo d;
  ASSERT_EQ(d.start().status, 0);
  kvltest::write_file(d.path("etc/dspdevs.map"), "1 0 \n0 1 \n\n");
  size_t from = d.machine.journal_size();
  auto r = d.start();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\nKelvane started OK.\n");
  EXPECT_EQ(d.machine.request_names(from), (std::vector<std::string>{
                        "Get version", "Get status", "Get #drivers", "Get driver types",
                        "Get drivers", "Get #cards", "Get card info", "Get card info",
                        "Get card info", "Get card info", "Get card info", "Set reroute", "Set reroute", "Set reroute"}));
  EXPECT_THAT(r.err, HasSubstr("/dev/dsp input assignment: 1 0 \n"
                               "/dev/dsp output assignment: 0 1 \n"
                               "/dev/dsp output assignment: \n"));
  EXPECT_EQ(kvltest::read_file(d.path("logs/mixset.log")),
            "mixset vol=75 pcm=75 synth=75\nmixset vol=75 pcm=75 synth=75\n");
}

}  // namespace
