// Detection against a driver that misbehaves in ways the simulator does not:
// it never refuses a card number, reports far more cards than it has, fills
// a card's name field to the last byte and puts any count in a resource
// dump. This file brings its own seam (the driver below), so the program's
// real seam is never linked.
#include "cardcfg/detect.h"
#include "cardcfg/model.h"
#include "cardcfg/pnp_device.h"
#include "control/control.h"
#include "driver/driver.h"
#include "fixture.h"
#include "support.h"
#include "sys/sys.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

namespace {

constexpr int ODD_FD = 77;
std::map<uint32_t, int> g_calls;  // requests answered, by code

}  // namespace

namespace kvl {

int sys_ioctl(int fd, unsigned long code, void *arg) {
  if (fd != ODD_FD) {
    errno = EBADF;
    return -1;
  }
  g_calls[static_cast<uint32_t>(code)]++;
  switch (code) {
    case CTL_PNP_DETECT:
      *static_cast<int32_t *>(arg) = 100000;
      return 100000;
    case CTL_PNP_CARD_INFO: {
      // Every number is a PCI card on IRQ 11; card 0's two words fill the
      // field to its end, with no NUL before the IRQ word.
      auto *info = static_cast<PnpCardInfo *>(arg);
      int n = info->id;
      info->id = -1;
      info->irq = 11;
      std::memset(info->name, 'Z', sizeof info->name);
      const char *words = n == 0 ? "ENVY24 PCI153B1115 " : "NOSUCH ";
      std::memcpy(info->name, words, std::strlen(words));
      return 0;
    }
    case CTL_PNP_RESOURCES: {
      auto *dump = static_cast<PnpResourceDump *>(arg);
      int n = dump->count;
      std::memset(dump->data, 0xab, sizeof dump->data);
      dump->count = n == 0 ? 100000 : n == 1 ? -3 : 0;
      return 0;
    }
    default:
      return 0;
  }
}

void sys_sync() {}

int sys_stat(const char *path, struct stat *st) { return ::stat(path, st); }

}  // namespace kvl

namespace {

using namespace kvl;

TEST(DetectOddDriver, LoopsAndDumpsStayBounded) {
  cardtest::Db db;
  int dev = db.device("pcidev", 0);
  for (const char *key : {"ENVY24", "SUB153B1115"}) db.card(key, "PCI card", OPT_NO_ALLOC | OPT_NEEDS_MMPCI, {dev});
  kvltest::TempDir dir;
  std::filesystem::create_directories(dir / "logs");
  ConfigModel model;
  model.install_dir = dir.path();
  kvltest::ScriptAsker asker;
  ControlDevice control;
  control.fd = ODD_FD;

  detect_pnp_cards(model, db.model(), asker, control);

  // Card numbers 0..255, then the loop stops; so do the resource dumps.
  EXPECT_EQ(g_calls[CTL_PNP_CARD_INFO], PNP_LAST_CARD_NUMBER + 1);
  EXPECT_EQ(g_calls[CTL_PNP_RESOURCES], PNP_LAST_CARD_NUMBER + 1);
  EXPECT_EQ(g_calls[CTL_PNP_END], 1);
  ASSERT_EQ(model.cards.count, 1);
  EXPECT_STREQ(model.cards.cards[0].name, "SUB153B1115");
  EXPECT_EQ(model.settings.pnp_preserve, 1);  // the unknown ones

  // Card 0's dump holds the whole record's 4000 bytes (250 lines), card 1's
  // none; the identifiers come from the dumps' first bytes.
  std::string text = kvltest::read_file(dir / "logs/pnpres.dat");
  std::string id = pnp_id_to_text(static_cast<int32_t>(0xabababab));
  std::string heading0 = "Resources for PnP card #0 (" + id + ")";
  std::string card0 = heading0 + "\n0000: ab ab ";
  std::string card1 = "Resources for PnP card #1 (" + id + ")\n\nResources for PnP card #2 (";
  EXPECT_EQ(text.compare(0, card0.size(), card0), 0);
  size_t at = heading0.size() + 250 * (7 + 16 * 3) + 2;
  EXPECT_EQ(text.compare(at, card1.size(), card1), 0) << text.substr(at, 80);
  EXPECT_NE(text.find("Resources for PnP card #255 ("), std::string::npos);
  EXPECT_EQ(text.find("Resources for PnP card #256 ("), std::string::npos);
  // Every later card shares IRQ 11 with the first.
  std::string warning = "\n\nWarning! PCI interrupt sharing detected, IRQ 11 \n";
  ASSERT_GT(text.size(), warning.size());
  EXPECT_EQ(text.substr(text.size() - warning.size()), warning);
}

}  // namespace
