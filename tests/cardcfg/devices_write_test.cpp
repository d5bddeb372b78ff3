// Writing devices.cfg and modules.cfg: settings lines, device lines, the
// module list and saving without losing the previous files.
#include "cardcfg/cardlist.h"
#include "cardcfg/devices_cfg.h"
#include "fixture.h"
#include "support.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace cardtest {
namespace {

using namespace kvl;

DeviceConfigText format() {
  DeviceConfigText text;
  std::string why;
  EXPECT_EQ(format_device_config(model(), db(), &text, &why), 0) << why;
  return text;
}

std::string devices_text() { return format().devices; }

std::string modules_text() { return format().modules; }

// Saves the test's model. Returns write_device_config's result; why is kept.
int save(const std::string &devpath, const std::string &modpath, std::string *why = nullptr) {
  std::string reason;
  return write_device_config(model(), db(), asker(), devpath.c_str(), modpath.c_str(),
                             why ? why : &reason);
}

TEST_F(CardcfgTest, NoCardsWriteTheHeadingAndSecureAudioOnly) {
  DeviceConfigText text = format();
  EXPECT_EQ(text.devices, "# Use audset to edit this file.\n/SECUREAUDIO OFF\n");
  EXPECT_EQ(text.modules, "");
  model().settings.secure_audio = 1;
  EXPECT_EQ(devices_text(), "# Use audset to edit this file.\n/SECUREAUDIO ON\n");
}

TEST_F(CardcfgTest, PnpPortLines) {
  struct {
    int port;
    const char *option;   // "/PNPPORT" line, "" for none
    const char *bus;      // last line with a plug-and-play card
  } cases[] = {
      {0, "", "PNP\n"},
      {0x202, "", "PNP P202\n"},
      {0x203, "/PNPPORT 203\n", "PNP P203\n"},
      {0x3fe, "/PNPPORT 3fe\n", "PNP P3fe\n"},
      {0x3ff, "", "PNP P3ff\n"},
  };
  for (const auto &c : cases) {
    reset_model();
    model().settings.pnp_port = c.port;
    EXPECT_EQ(devices_text(), std::string("# Use audset to edit this file.\n/SECUREAUDIO OFF\n") +
                                  c.option)
        << c.port;
    add_card("KVLPCI1", 0);
    std::string text = devices_text();
    EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), c.bus) << c.port;
  }
}

TEST_F(CardcfgTest, DeviceLineValues) {
  struct {
    int port, irq0, irq1, dma0, dma1;
    const char *line;
  } cases[] = {
      {0xabc, 0, 0, 0, 0, "isaaud ON Pabc D0 d0\n"},
      {0, -1, 3, -1, -1, "isaaud ON i3\n"},
      {-1, 15, -1, 7, -1, "isaaud ON I15 D7\n"},
  };
  for (const auto &c : cases) {
    reset_model();
    add_card("KVLISA1", 0);
    CardDevice &d = model().cards.cards[0].devices[0];
    d.port = c.port, d.irq[0] = c.irq0, d.irq[1] = c.irq1, d.dma[0] = c.dma0, d.dma[1] = c.dma1;
    std::string text = devices_text();
    EXPECT_NE(text.find(std::string("\n") + c.line), std::string::npos) << text;
  }
}

TEST_F(CardcfgTest, WarningAfterSavingWithADisabledDevice) {
  std::string devices = dir_ + "/etc/devices.cfg", modules = dir_ + "/etc/modules.cfg";
  add_card("KVLISA1", 0);
  EXPECT_EQ(save(devices, modules), 0);
  EXPECT_TRUE(notices().empty());
  model().cards.cards[0].devices[1].enabled = 0;
  EXPECT_EQ(save(devices, modules), 0);
  EXPECT_EQ(notices(), std::vector<std::string>{
                           "Warning: some devices are disabled (see Manual configuration menu)"});
  model().cards.cards[0].devices[1].enabled = 1;
  EXPECT_EQ(save(devices, modules), 0);
  EXPECT_EQ(notices().size(), 1u);
}

TEST_F(CardcfgTest, ModulesFollowTheirDependencies) {
  struct {
    const char *name;
    const char *lis;
    const char *dep;
    const char *modules;
  } cases[] = {
      {"shared module once, after its dependencies",
       "isaaud kvl_a\nisamidi kvl_b\nisasynth kvl_a\n",
       "kvl_base [kvl_a kvl_b]\nkvl_first [kvl_base]\n", "kvl_first\nkvl_base\nkvl_a\nkvl_b\n"},
      {"dependencies in the order listed", "isaaud kvl_a\n", "z [kvl_a]\ny [kvl_a]\nx [kvl_a]\n",
       "z\ny\nx\nkvl_a\n"},
      {"a cycle is cut", "isaaud kvl_a\n", "kvl_a [kvl_b]\nkvl_b [kvl_a]\n", "kvl_b\nkvl_a\n"},
      {"a longer cycle is cut", "isaaud kvl_a\nisamidi kvl_c\n",
       "kvl_a [kvl_b]\nkvl_b [kvl_c]\nkvl_c [kvl_a]\n", "kvl_b\nkvl_c\nkvl_a\n"},
      {"drivers without a row add nothing", "other kvl_x\nisaaud\n", "", ""},
  };
  for (const auto &c : cases) {
    reset_model();
    load_lists(c.lis, c.dep);
    add_card("KVLISA1", 0);
    EXPECT_EQ(modules_text(), c.modules) << c.name;
  }
}

TEST_F(CardcfgTest, MoreModulesThanTheListHoldsSaveNothing) {
  std::string lis = "isaaud kvl_a\nisamidi kvl_b\nisasynth kvl_c\nfwaud kvl_d\n", dep;
  for (const char *m : {"kvl_a", "kvl_b", "kvl_c", "kvl_d"})
    for (int i = 0; i < 57; i++) dep += std::string(m) + "_dep" + std::to_string(i) + " [" + m + "]\n";
  load_lists(lis, dep);
  add_card("KVLISA1", 0);
  add_card("KVLISA2", 0);
  DeviceConfigText text;
  std::string why;
  EXPECT_EQ(format_device_config(model(), db(), &text, &why), -1);
  EXPECT_EQ(why, "Too many modules for etc/modules.cfg (at most 230); nothing saved");

  std::string devpath = dir_ + "/etc/devices.cfg", modpath = dir_ + "/etc/modules.cfg";
  kvltest::write_file(devpath, "old devices\n");
  why.clear();
  EXPECT_EQ(save(devpath, modpath, &why), -1);
  EXPECT_EQ(why, "Too many modules for etc/modules.cfg (at most 230); nothing saved");
  EXPECT_EQ(kvltest::read_file(devpath), "old devices\n");
  EXPECT_FALSE(kvltest::file_exists(modpath));
}

TEST_F(CardcfgTest, UnknownDownloadTypeEndsWithoutWriting) {
  std::string devpath = dir_ + "/etc/devices.cfg", modpath = dir_ + "/etc/modules.cfg";
  kvltest::write_file(devpath, "old devices\n");
  add_card("KVLISA1", 0);
  HwdbNode &node = db().nodes[model().cards.cards[0].node];
  int saved = node.dnld;
  node.dnld = 3;
  std::string why;
  EXPECT_EQ(save(devpath, modpath, &why), -1);
  node.dnld = saved;
  EXPECT_EQ(why, "Internal error - Unknown download type 3");
  EXPECT_EQ(kvltest::read_file(devpath), "old devices\n");
}

std::vector<std::string> files_in(const std::string &dir) {
  std::vector<std::string> names;
  for (const auto &e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Saves with files limited to bytes; ends the process with status 255 after
// printing the reason when the save fails, as a program would.
void save_with_size_limit(rlim_t bytes, const std::string &devpath, const std::string &modpath) {
  struct rlimit limit;
  limit.rlim_cur = limit.rlim_max = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
  std::string why;
  if (save(devpath, modpath, &why) < 0) {
    std::fprintf(stderr, "%s\n", why.c_str());
    std::exit(255);
  }
  std::exit(0);
}

TEST_F(CardcfgTest, InterruptedSaveKeepsThePreviousFiles) {
  std::string etc = dir_ + "/etc";
  std::string devpath = etc + "/devices.cfg", modpath = etc + "/modules.cfg";
  kvltest::write_file(devpath, "old devices\n");
  kvltest::write_file(modpath, "old modules\n");
  build_standard_config();
  // A file-size limit below the new devices.cfg: the write fails part-way.
  EXPECT_EXIT(save_with_size_limit(64, devpath, modpath), testing::ExitedWithCode(255),
              "^" + devpath + ": File too large\n$");
  EXPECT_EQ(kvltest::read_file(devpath), "old devices\n");
  EXPECT_EQ(kvltest::read_file(modpath), "old modules\n");
  EXPECT_EQ(files_in(etc), (std::vector<std::string>{"devices.cfg", "modules.cfg"}));

  // modules.cfg cannot be written: neither file is replaced.
  std::string why;
  for (std::string bad : {dir_ + "/nodir/modules.cfg", etc + "/folder"}) {
    std::filesystem::create_directories(etc + "/folder");
    EXPECT_EQ(save(devpath, bad, &why), -1);
    EXPECT_EQ(why, bad + ": " + std::strerror(bad == etc + "/folder" ? EISDIR : ENOENT));
    EXPECT_EQ(kvltest::read_file(devpath), "old devices\n");
  }
  EXPECT_EQ(kvltest::read_file(modpath), "old modules\n");
}

}  // namespace
}  // namespace cardtest
