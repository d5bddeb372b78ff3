// Reading devices.cfg: option lines, device lines and card lines.
#include "cardcfg/cardlist.h"
#include "cardcfg/devices_cfg.h"
#include "cardcfg/resources.h"
#include "fixture.h"
#include "support.h"

#include <filesystem>
#include <sstream>

namespace cardtest {
namespace {

using namespace kvl;
using namespace std::string_literals;

void parse(const std::string &text) { parse_devices_cfg(text); }

struct OptionCase {
  const char *text;
  ConfigSettings before;
  int ConfigSettings::*field;
  int want;
};

ConfigSettings secure(int on) {
  ConfigSettings s;
  s.secure_audio = on;
  return s;
}

TEST_F(CardcfgTest, OptionLines) {
  const OptionCase cases[] = {
      {"/SECUREAUDIO", secure(1), &ConfigSettings::secure_audio, 1},
      {"/SECUREAUDIO", secure(0), &ConfigSettings::secure_audio, 0},
      {"/SECUREAUDIO off", secure(0), &ConfigSettings::secure_audio, 1},
      {"/SECUREAUDIO OFF", secure(1), &ConfigSettings::secure_audio, 0},
      {"/SECUREAUDIO OFF\r", secure(1), &ConfigSettings::secure_audio, 0},  // CRLF line end
      {"/SECUREAUDIO  OFF", secure(0), &ConfigSettings::secure_audio, 1},  // empty word
      {"/SECUREAUDIOX OFF", secure(1), &ConfigSettings::secure_audio, 1},
      {"/PNPPORT 20b", {}, &ConfigSettings::pnp_port, 0x20b},
      {"/PNPPORT zz", {}, &ConfigSettings::pnp_port, 0},
      {"/PNPPORT", {}, &ConfigSettings::pnp_port, 0},
      {"/PNPPRESERVE", {}, &ConfigSettings::pnp_preserve, 1},
      {"/DSPX", {}, &ConfigSettings::dspx, 1},
      {"/dspx", {}, &ConfigSettings::dspx, 0},
  };
  for (const OptionCase &c : cases) {
    model().settings = c.before;
    parse(std::string(c.text) + "\n");
    EXPECT_EQ(model().settings.*c.field, c.want) << c.text;
  }
}

TEST_F(CardcfgTest, MaskLinesTakeOnlyNumbersInRange) {
  model().settings.pci_irq_mask = 1u << 7;
  parse("/PCIIRQ 0 5 32 abc 9 5x -5\n");
  EXPECT_EQ(model().settings.pci_irq_mask, 1u << 5 | 1u << 9);

  model().resources.irq[4] = "isaaud";
  parse("/IRQEXCLUDE 3 4 0 32\n/DMAEXCLUDE 0 7 8\n");
  EXPECT_EQ(model().settings.irq_exclude, 1u << 3 | 1u << 4);
  EXPECT_STREQ(model().resources.irq[3], "Disabled");
  EXPECT_STREQ(model().resources.irq[4], "isaaud");  // an owner keeps its IRQ
  EXPECT_EQ(model().resources.irq[0], nullptr);
  EXPECT_EQ(model().settings.dma_exclude, 1u << 0 | 1u << 7);
  EXPECT_STREQ(model().resources.dma[0], "Disabled");
  EXPECT_STREQ(model().resources.dma[7], "Disabled");
}

// The first device of KVLISA1 ("isaaud") after reading one device line.
struct DeviceCase {
  const char *line;
  CardDevice want;
};

CardDevice isaaud(int enabled, int port, int irq0, int irq1, int dma0, int dma1) {
  CardDevice d;
  d.enabled = enabled, d.port_count = 1, d.irq_count = 2, d.dma_count = 2;
  d.port = port, d.irq[0] = irq0, d.irq[1] = irq1, d.dma[0] = dma0, d.dma[1] = dma1;
  return d;
}

TEST_F(CardcfgTest, DeviceLineWords) {
  const DeviceCase cases[] = {
      {"isaaud ON P220 I5 i7 D1 d5", isaaud(1, 0x220, 5, 7, 1, 5)},
      {"isaaud OFF P220", isaaud(0, 0x220, -1, -1, -1, -1)},
      {"isaaud OFF OPNP", isaaud(1, -1, -1, -1, -1, -1)},
      {"isaaud OFF O", isaaud(1, -1, -1, -1, -1, -1)},
      {"isaaud OFF Pxyz I5q D- d", isaaud(0, -1, -1, -1, -1, -1)},
      {"isaaud OFF P220 # I5", isaaud(0, 0x220, -1, -1, -1, -1)},
      {"isaaud  OFF  I5 X9 ", isaaud(0, -1, 5, -1, -1, -1)},
      {"isaaud\tOFF I5", isaaud(1, -1, -1, -1, -1, -1)},  // a tab is no separator
      {"isamidi OFF P220", isaaud(1, -1, -1, -1, -1, -1)},
      {"nosuch OFF P220 I5 D1", isaaud(1, -1, -1, -1, -1, -1)},
      {"PNP P220", isaaud(1, -1, -1, -1, -1, -1)},
  };
  for (const DeviceCase &c : cases) {
    reset_model();
    parse(std::string("-KVLISA1 #t\n") + c.line + "\n");
    ASSERT_EQ(model().cards.count, 1);
    const CardDevice &d = model().cards.cards[0].devices[0];
    const CardDevice &w = c.want;
    EXPECT_EQ(d.enabled, w.enabled) << c.line;
    EXPECT_EQ(d.port, w.port) << c.line;
    EXPECT_EQ(d.irq[0], w.irq[0]) << c.line;
    EXPECT_EQ(d.irq[1], w.irq[1]) << c.line;
    EXPECT_EQ(d.dma[0], w.dma[0]) << c.line;
    EXPECT_EQ(d.dma[1], w.dma[1]) << c.line;
  }
}

// A person's device words go through the reader's rules, and what the
// reader would pass over is refused with the word and the reason.
TEST_F(CardcfgTest, PersonsDeviceWordsAreAppliedOrRefused) {
  struct Case {
    std::vector<std::string> words;
    std::string why;  // "" when taken
  } cases[] = {
      {{"isaaud", "OFF", "P240", "I7", "i9", "D3", "d5"}, ""},
      {{"isaaud", "OPNP", "# I5", "nonsense"}, ""},
      {{"isaaud", "$LOADBIN", "/x/fw.bin"}, ""},
      {{"nosuch", "ON"}, "'nosuch': the card has no such device"},
      {{"isaaud", "On"}, "'On': not ON, OFF or OPNP"},
      {{"isaaud", "P24g"}, "'P24g': not a hexadecimal port"},
      {{"isaaud", "I"}, "'I': not a number"},
      {{"isaaud", "X9"}, "'X9': not a device word"},
      {{"isaaud", "$LOADBIN"}, "'$LOADBIN': a firmware file must follow"},
      {{"isamidi", "P300", "i5"}, "'i5': the device has no second IRQ"},
      {{"isamidi", "D1"}, "'D1': the device has no DMA channel"},
  };
  for (const Case &c : cases) {
    reset_model();
    parse("-KVLISA1 #t\n");
    ASSERT_EQ(model().cards.count, 1);
    std::vector<std::string_view> words(c.words.begin(), c.words.end());
    std::string why;
    int rc = apply_device_words(db(), model().cards.cards[0], words, &why);
    EXPECT_EQ(rc, c.why.empty() ? 0 : -1) << c.words[1];
    EXPECT_EQ(why, c.why) << c.words[1];
  }
  reset_model();
  parse("-KVLISA1 #t\n");
  const CardDevice &d = model().cards.cards[0].devices[0];
  std::string why;
  std::vector<std::string_view> words = {"isaaud", "OFF", "P240", "I7", "i9", "D3", "d5"};
  ASSERT_EQ(apply_device_words(db(), model().cards.cards[0], words, &why), 0);
  EXPECT_EQ(d.enabled, 0);
  EXPECT_EQ(d.port, 0x240);
  EXPECT_EQ(d.irq[1], 9);
  EXPECT_EQ(d.dma[1], 5);
}

TEST_F(CardcfgTest, DownloadWordSetsThePathEvenWithoutDevice) {
  parse("-KVLISA1 #t\nnosuch ON P240 $LOADBIN /x/fw.bin\n");
  EXPECT_STREQ(model().cards.cards[0].download_path, "/x/fw.bin");
  EXPECT_EQ(model().cards.cards[0].devices[0].port, -1);

  parse("-KVLISA1 #t\nisafw $LOADBIN /y/fw.bin\nisafw $LOADBIN\n");  // no path follows
  EXPECT_EQ(model().cards.count, 2);
  EXPECT_STREQ(model().cards.cards[1].download_path, "/y/fw.bin");
  EXPECT_STREQ(model().cards.cards[0].download_path, "/x/fw.bin");

  reset_model();
  std::string long_path = "/" + std::string(200, 'f');
  parse("-KVLISA1 #t\nisafw $LOADBIN " + long_path + "\n");
  EXPECT_EQ(std::string(model().cards.cards[0].download_path), long_path.substr(0, 99));
}

TEST_F(CardcfgTest, UnknownCardLeavesPreviousCardCurrent) {
  testing::internal::CaptureStderr();
  parse("isaaud ON P200\n-KVLISA1 #t\n-NOPE #Not there\nisaaud ON P240\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Card 'NOPE' not found in database\n");
  ASSERT_EQ(model().cards.count, 1);
  EXPECT_EQ(model().cards.cards[0].devices[0].port, 0x240);
}

TEST_F(CardcfgTest, EleventhCardIsRefusedAndItsLinesGoToTheTenth) {
  std::string text;
  for (int i = 0; i < 10; i++) text += "-KVLUSB1 #USB\n";
  text += "-KVLISA1 #ISA\nisaaud OFF\nusbaud OFF\n";
  parse(text);
  ASSERT_EQ(model().cards.count, 10);
  EXPECT_EQ(notices(), std::vector<std::string>{"Too many devices"});
  EXPECT_EQ(model().cards.cards[9].devices[0].enabled, 0);
  EXPECT_EQ(model().cards.cards[8].devices[0].enabled, 1);
}

TEST_F(CardcfgTest, LongLinesAreReadInPieces) {
  // 998 characters make one piece; the rest of the line is read as a line of
  // its own, here a device line naming no device.
  std::string line = "isaaud" + std::string(992, ' ');
  parse("-KVLISA1 #t\n" + line + "P240\n" + std::string(5000, 'x') + "\nisaaud ON I9\n");
  EXPECT_EQ(model().cards.cards[0].devices[0].port, -1);
  EXPECT_EQ(model().cards.cards[0].devices[0].irq[0], 9);
}

TEST_F(CardcfgTest, CrlfLinesReadAsLfAndNulLinesAreRefused) {
  testing::internal::CaptureStderr();
  parse("-KVLISA1 #t\r\nisaaud OFF P240\r\nisaaud ON\0 P260\r\n/DMAEXCLUDE 3\r\n"s);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "etc/devices.cfg: line 3 contains a NUL byte\n");
  ASSERT_EQ(model().cards.count, 1);
  EXPECT_EQ(model().cards.cards[0].devices[0].enabled, 0);
  EXPECT_EQ(model().cards.cards[0].devices[0].port, 0x240);
  EXPECT_EQ(model().settings.dma_exclude, 1 << 3);
}

TEST_F(CardcfgTest, UnreadableFileIsToldNotTakenForMissing) {
  std::filesystem::create_directories(dir_ + "/etc/devices.cfg");
  testing::internal::CaptureStderr();
  EXPECT_EQ(read_devices_cfg(model(), db(), asker(), (dir_ + "/etc/devices.cfg").c_str()), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), dir_ + "/etc/devices.cfg: Is a directory\n");
}

TEST_F(CardcfgTest, MissingFileKeepsFirstConfiguration) {
  testing::internal::CaptureStderr();
  read_devices_cfg(model(), db(), asker(), (dir_ + "/etc/devices.cfg").c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "No earlier configuration detected\n");
  EXPECT_EQ(model().settings.first_configuration, 1);
  EXPECT_EQ(model().cards.count, 0);

  kvltest::write_file(dir_ + "/etc/devices.cfg", "# empty\n");
  read_devices_cfg(model(), db(), asker(), (dir_ + "/etc/devices.cfg").c_str());
  EXPECT_EQ(model().settings.first_configuration, 0);
}

TEST_F(CardcfgTest, ReadingAndAddingKeepTheRoutingMapForgettingDeletesIt) {
  std::string map = dir_ + "/etc/dspdevs.map";
  kvltest::write_file(map, "0 \n");
  kvltest::write_file(dir_ + "/etc/devices.cfg", "-KVLUSB1 #USB\n-NOPE #gone\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(read_devices_cfg(model(), db(), asker(), (dir_ + "/etc/devices.cfg").c_str()), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Card 'NOPE' not found in database\n");
  EXPECT_EQ(model().cards.count, 1);
  EXPECT_EQ(add_card("KVLUSB1", 0), 2);
  EXPECT_TRUE(kvltest::file_exists(map));
  forget_routing(dir_);
  EXPECT_FALSE(kvltest::file_exists(map));
  forget_routing(dir_);  // nothing to delete: harmless
}

}  // namespace
}  // namespace cardtest
