// Card detection against the simulated driver: the requests in the journal,
// the cards found, the flags and logs/pnpres.dat. The seam reads KVL_SIMROOT
// once per process, so every test re-initialises the same machine directory.
#include "cardcfg/detect.h"
#include "cardcfg/devices_cfg.h"
#include "cardcfg/modules.h"
#include "cardcfg/resources.h"
#include "control/control.h"
#include "fixture.h"
#include "support.h"
#include "sys/sys.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kvl;
using kvltest::bin;
using kvltest::run;
using nlohmann::json;

const std::string &root() { return kvltest::in_process_machine(); }

// The cards the test machines hold, and a few more.
const HwdbModel &database() {
  static cardtest::Db *db = [] {
    auto *d = new cardtest::Db;
    using cardtest::dma_res;
    using cardtest::irq_res;
    using cardtest::port_res;
    for (const char *key : {"SB16", "SBAWE32", "MPU401", "GUS", "GUSMAX"})
      d->card(key, "ISA card", OPT_NEEDS_ISA, {d->device("isadev", 0, {port_res(), irq_res(), dma_res()})});
    d->card("CTL0044", "AWE64", OPT_PNP | OPT_NO_ALLOC, {d->device("awe", 0), d->device("wave", 0)});
    for (const char *key : {"ES1371", "ICH5", "ES1370", "ICH4", "CT5880", "ICH2", "ENVY24", "SUB153B1115"})
      d->card(key, "PCI card", OPT_NO_ALLOC | OPT_NEEDS_MMPCI, {d->device("pcidev", 0)});
    return d;
  }();
  return db->model();
}

const char NO_SUCH_DEVICE[] = "No such device or address";
const char DEMO_PNPRES[] =
    "Resources for PnP card #0 (CTL0044)\n"
    "0000: 44 00 8c 0e 10 00 00 01 a5 0a 10 10 82 11 00 43 \n"
    "0010: 72 65 61 74 69 76 65 20 53 42 20 41 57 45 36 34 \n"
    "0020: 15 0e 8c 00 31 00 22 20 00 2a 02 08 2a 20 12 47 \n"
    "0030: 01 20 02 80 02 20 10 79 00 \n\n";
const char SHARING_11[] = "\n\nWarning! PCI interrupt sharing detected, IRQ 11 \n";

class DetectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    install_ = std::make_unique<kvltest::TempDir>();
    std::filesystem::create_directories(*install_ / "etc");
    std::filesystem::create_directories(*install_ / "logs");
    kvltest::write_file(*install_ / "etc/dspdevs.map", "routing\n");
    model_.install_dir = install_->path();
  }
  void TearDown() override { control_close(control_); }

  // A fresh machine (the demo machine for "") with the control device open.
  void machine(const std::string &machine_json) {
    std::vector<std::string> argv = {bin("kvlsim"), "init", root()};
    kvltest::TempDir tmp;
    if (!machine_json.empty()) {
      kvltest::write_file(tmp / "machine.json", machine_json);
      argv.push_back(tmp / "machine.json");
    }
    auto r = run(argv);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(control_open(control_, false), 0);
  }
  static void fault(const std::string &request, int nth) {
    auto r = run({bin("kvlsim"), "fault", root(), request, "EIO", std::to_string(nth)});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  void read_config(const std::string &text) {
    ASSERT_EQ(parse_devices_cfg(model_, database(), asker_, text), 0);
  }

  // Plug-and-play detection, the sync between them and the ISA probes, as
  // the configurator runs them; returns what they printed on standard error.
  std::string detect_all() {
    testing::internal::CaptureStderr();
    detect_pnp_cards(model_, database(), asker_, control_);
    sys_sync();
    autodetect_isa_cards(model_, database(), asker_, control_);
    return testing::internal::GetCapturedStderr();
  }

  // The journal, one line per request: its name, the record's number, port
  // or driver name, and the errno of a failure.
  static std::vector<std::string> requests() {
    std::vector<std::string> out;
    for (const json &e : kvltest::journal_of(root())) {
      std::string line = e["request"];
      if (e.contains("index")) line += " " + std::to_string(e["index"].get<int>());
      if (e.contains("port")) {
        char hex[16];
        std::snprintf(hex, sizeof hex, " 0x%x", e["port"].get<int>());
        line += hex;
      }
      if (e.contains("name")) line += " " + e["name"].get<std::string>();
      if (e.contains("errno") && !e["errno"].is_null()) line += " " + e["errno"].get<std::string>();
      out.push_back(line);
    }
    return out;
  }

  // The cards as "NAME" or "NAME@PORT" (the first device's port when set).
  std::vector<std::string> cards() const {
    std::vector<std::string> out;
    for (int i = 0; i < model_.cards.count; i++) {
      const ConfiguredCard &c = model_.cards.cards[i];
      std::string s = c.name;
      if (c.device_count > 0 && c.devices[0].port > 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "@%x", c.devices[0].port);
        s += hex;
      }
      out.push_back(s);
    }
    return out;
  }
  std::string pnpres() const { return kvltest::read_file(*install_ / "logs/pnpres.dat"); }
  bool routing_kept() const { return kvltest::file_exists(*install_ / "etc/dspdevs.map"); }

  std::unique_ptr<kvltest::TempDir> install_;
  ConfigModel model_;
  kvltest::ScriptAsker asker_;
  ControlDevice control_;
};

// The demo machine: one plug-and-play card (CTL0044), two PCI cards on IRQ 11.
struct DemoCase {
  const char *title;
  const char *devices_cfg;  // read first; nullptr: a first configuration
  const char *fault;        // request failing with EIO on its nth call
  int nth;
  std::vector<std::string> requests;
  std::string err;
  std::vector<std::string> cards;
  std::string pnpres;
  std::string box = "";  // the waiting box of a failed request (the normal end has none)
};

TEST_F(DetectTest, DemoMachineJournal) {
  const std::vector<std::string> cards_and_end = {
      "PnP detect", "PnP cardinfo 0", "PnP cardinfo 1", "PnP cardinfo 2", "PnP cardinfo 3 ENXIO",
      "PnP end", "PnP resources 0", "sync"};
  auto with = [&](std::vector<std::string> head) {
    head.insert(head.end(), cards_and_end.begin(), cards_and_end.end());
    return head;
  };
  const std::vector<DemoCase> cases = {
      {"first configuration", nullptr, nullptr, 0, with({"get PCI IRQs"}),
       std::string("PnP cardinfo: ") + NO_SUCH_DEVICE + "\n", {"CTL0044", "ES1371", "ICH5"},
       std::string(DEMO_PNPRES) + SHARING_11},
      {"preserve and port", "/PNPPRESERVE\n/PNPPORT 20b\n", nullptr, 0,
       with({"get PCI IRQs", "PnP restart", "PnP set port 0x20b"}),
       std::string("PnP cardinfo: ") + NO_SUCH_DEVICE + "\n", {"CTL0044", "ES1371", "ICH5"},
       std::string(DEMO_PNPRES) + SHARING_11},
      {"set port fails", "/PNPPORT 20b\n", "PnP set port", 1,
       {"get PCI IRQs", "PnP set port 0x20b EIO", "PnP end", "sync", "sync"},
       "PnP set port: Input/output error\n", {}, "", "Detection failed: PnP set port: Input/output error"},
      {"detect fails", nullptr, "PnP detect", 1, {"get PCI IRQs", "PnP detect EIO", "PnP end", "sync", "sync"},
       "PnP detect: Input/output error\n", {}, "", "Detection failed: PnP detect: Input/output error"},
      {"second cardinfo fails", nullptr, "PnP cardinfo", 2,
       {"get PCI IRQs", "PnP detect", "PnP cardinfo 0", "PnP cardinfo 1 EIO", "PnP end", "PnP resources 0",
        "sync"},
       "PnP cardinfo: Input/output error\n", {"CTL0044"}, DEMO_PNPRES,
       "Detection failed: PnP cardinfo: Input/output error"},
      {"resources fail", nullptr, "PnP resources", 1,
       {"get PCI IRQs", "PnP detect", "PnP cardinfo 0", "PnP cardinfo 1", "PnP cardinfo 2",
        "PnP cardinfo 3 ENXIO", "PnP end", "PnP resources 0 EIO", "sync"},
       std::string("PnP cardinfo: ") + NO_SUCH_DEVICE + "\nPnP resources: Input/output error\n",
       {"CTL0044", "ES1371", "ICH5"}, SHARING_11, "Detection failed: PnP resources: Input/output error"},
  };
  for (const DemoCase &c : cases) {
    SCOPED_TRACE(c.title);
    model_ = ConfigModel{};
    model_.install_dir = install_->path();
    asker_ = kvltest::ScriptAsker{};
    control_close(control_);
    control_ = ControlDevice{};
    kvltest::write_file(*install_ / "etc/dspdevs.map", "routing\n");
    machine("");
    if (c.devices_cfg) read_config(c.devices_cfg);
    if (c.fault) fault(c.fault, c.nth);
    query_pci_irqs(model_.resources, control_);

    EXPECT_EQ(detect_all(), c.err);
    EXPECT_EQ(requests(), c.requests);
    EXPECT_EQ(cards(), c.cards);
    EXPECT_EQ(pnpres(), c.pnpres);
    EXPECT_FALSE(routing_kept());
    EXPECT_EQ(model_.detect.autodetect_done, 1);
    // Once the plug-and-play card answered, the ISA probes are skipped.
    bool seen = c.cards.size() > 0;
    EXPECT_EQ(model_.detect.pnp_seen, seen ? 1 : 0);
    EXPECT_EQ(model_.detect.isa_probe_ran, seen ? 0 : 1);
    std::vector<std::string> notices = {"Running PnP soundcard detection..."};
    if (!c.box.empty()) notices.push_back(c.box);
    if (!seen) notices.push_back("Autodetecting some non PnP soundcards...");
    EXPECT_EQ(asker_.notices, notices);
  }
}

TEST_F(DetectTest, DemoMachineMarksPciIrqs) {
  machine("");
  detect_all();
  EXPECT_EQ(model_.settings.pci_irq_mask, 1u << 11);
  EXPECT_EQ(model_.detect.shared_irq_mask, 1u << 11);
  EXPECT_EQ(model_.settings.pnp_preserve, 0);  // every card was known
}

// PCI cards by IRQ: pairs on IRQ 2 and 16 share but are not listed, IRQ 40
// sets no bit, the low byte of 0x10b is IRQ 11, and an unknown card on an IRQ
// a known card took shares it.
TEST_F(DetectTest, PciIrqsAndNames) {
  machine(R"({
    "drivers": [{"name": "pci", "key": 9}],
    "pci": [{"name": "ES1371", "driver": "pci", "irq": 2}, {"name": "ICH5", "driver": "pci", "irq": 2},
            {"name": "ES1370", "driver": "pci", "irq": 16}, {"name": "ICH4", "driver": "pci", "irq": 16},
            {"name": "CT5880", "driver": "pci", "irq": 40}, {"name": "ICH2", "driver": "pci", "irq": 40},
            {"name": "ENVY24 PCI153B1115", "driver": "pci", "irq": "0x10b"},
            {"name": "NOSUCH PCI1371", "driver": "pci", "irq": 11},
            {"name": "NOSUCH2", "driver": "pci", "irq": 5}]
  })");
  detect_all();
  EXPECT_EQ(cards(), (std::vector<std::string>{"ES1371", "ICH5", "ES1370", "ICH4", "CT5880", "ICH2",
                                               "SUB153B1115"}));
  EXPECT_EQ(model_.settings.pci_irq_mask, 1u << 2 | 1u << 16 | 1u << 11);
  EXPECT_EQ(model_.detect.shared_irq_mask, 1u << 2 | 1u << 16 | 1u << 11);
  EXPECT_EQ(pnpres(), SHARING_11);
  EXPECT_EQ(model_.settings.pnp_preserve, 1);  // unknown cards
  EXPECT_EQ(model_.detect.pnp_seen, 0);
}

// An unknown plug-and-play identifier adds nothing but still stops the ISA
// probes and asks for a restart next time.
TEST_F(DetectTest, UnknownPnpCard) {
  machine(R"({"pnp": [{"id": "ABC1234", "resources": "01 02"}]})");
  detect_all();
  EXPECT_TRUE(cards().empty());
  EXPECT_EQ(model_.detect.pnp_seen, 1);
  EXPECT_EQ(model_.settings.pnp_preserve, 1);
  EXPECT_EQ(pnpres(), "Resources for PnP card #0 (ABC1234)\n0000: 34 12 43 04 01 02 \n\n");
}

// logs/pnpres.dat is a log: a link put in its place (logs/ writable by
// others, which is said once) is replaced by the file, never written through.
TEST_F(DetectTest, ResourceLogReplacesALinkInItsPlace) {
  machine(R"({"pnp": [{"id": "ABC1234", "resources": "01 02"}]})");
  std::string logs = *install_ / "logs", victim = *install_ / "victim";
  ASSERT_EQ(chmod(logs.c_str(), 0777), 0);
  kvltest::write_file(victim, "keep\n");
  std::filesystem::create_symlink(victim, logs + "/pnpres.dat");
  std::string err = detect_all();
  EXPECT_EQ(kvltest::read_file(victim), "keep\n");
  EXPECT_FALSE(std::filesystem::is_symlink(logs + "/pnpres.dat"));
  EXPECT_EQ(pnpres(), "Resources for PnP card #0 (ABC1234)\n0000: 34 12 43 04 01 02 \n\n");
  EXPECT_EQ(err, std::string("PnP cardinfo: ") + NO_SUCH_DEVICE + "\nWarning: " + logs +
                     " is writable by other users\n");
}

// "/PCIIRQ" bits of the saved configuration do not count: re-detecting one
// PCI card on IRQ 11 warns of nothing, and an IRQ no card uses is dropped.
TEST_F(DetectTest, RedetectionStartsTheMasksAfresh) {
  machine(R"({"drivers": [{"name": "pci", "key": 9}], "pci": [{"name": "ES1371", "driver": "pci", "irq": 11}]})");
  read_config("/PCIIRQ 5 11\n-ES1371 #PCI card\n");
  ASSERT_EQ(cards(), std::vector<std::string>{"ES1371"});
  model_.detect.shared_irq_mask = 1u << 11;
  detect_all();
  EXPECT_EQ(cards(), std::vector<std::string>{"ES1371"});
  EXPECT_EQ(model_.settings.pci_irq_mask, 1u << 11);
  EXPECT_EQ(model_.detect.shared_irq_mask, 0u);
  EXPECT_EQ(pnpres(), "");
}

// An ISA-only machine: each driver's probe, from the last slot down, between
// two syncs; reply lines with two cards, unknown names, no port, a port that
// is no number and extra blanks; a refused probe is only reported.
const char ISA_MACHINE[] = R"({
  "drivers": [{"name": "SB16", "key": 3}, {"name": "MPU401", "key": 4}, {"name": "GUS", "key": 5},
              {"name": "ADLIB", "key": 6}],
  "isa": [{"card": "SB16", "driver": "SB16", "port": "0x220"},
          {"card": "SBAWE32", "driver": "SB16", "port": "0x240"},
          {"card": "NOSUCH", "driver": "MPU401", "port": "0x300"},
          {"card": "MPU401", "driver": "MPU401", "port": "0x330", "reply": "MPU401"},
          {"card": "GUS", "driver": "GUS", "port": "0x240", "reply": "GUS xyz"},
          {"card": "GUSMAX", "driver": "GUS", "port": "0x250", "reply": "GUSMAX   250 "}]
})";
// An empty line makes a row without a name; the long name is cut to the
// record's 19 characters, which no driver has.
const char ISA_MODULES_LIS[] = "SB16 sb16\nMPU401 mpu401\n\nADLIB adlib\nGUS gus\nLONGDRIVERNAME_ABCDEFG long\n";

TEST_F(DetectTest, IsaProbes) {
  machine(ISA_MACHINE);
  ASSERT_EQ(load_modules_lis(model_.drivers, ISA_MODULES_LIS), 0);
  model_.verbosity = 3;
  fault("Config", 3);  // the third probe: ADLIB
  std::string err = detect_all();
  std::vector<std::string> want = {"PnP detect", "PnP cardinfo 0 ENXIO", "PnP end", "sync", "sync"};
  for (const char *probe : {"Config LONGDRIVERNAME_ABCD ENXIO", "Config GUS", "Config ADLIB EIO",
                            "Config MPU401", "Config SB16"}) {
    want.push_back("sync");
    want.push_back(probe);
    want.push_back("sync");
  }
  EXPECT_EQ(requests(), want);
  EXPECT_EQ(err, std::string("PnP cardinfo: ") + NO_SUCH_DEVICE + "\n" +
                     "Driver LONGDRIVERNAME_ABCDEFG - not detected (6)\n"
                     "Driver(s) GUS - detected GUS xyz\nGUSMAX   250 \n\n"
                     "Driver ADLIB - not detected (5)\n"
                     "Driver(s) MPU401 - detected NOSUCH 300\nMPU401\n\n"
                     "Driver(s) SB16 - detected SB16 220\nSBAWE32 240\n\n");
  EXPECT_EQ(cards(), (std::vector<std::string>{"GUS", "GUSMAX@250", "MPU401", "SB16@220", "SBAWE32@240"}));
  // No port: the first device's port is left to the resource dialogs.
  EXPECT_EQ(model_.cards.cards[0].devices[0].port, -1);
  EXPECT_EQ(model_.cards.cards[2].devices[0].port, -1);
  EXPECT_EQ(model_.detect.isa_probe_ran, 1);
  EXPECT_EQ(asker_.notices, (std::vector<std::string>{"Running PnP soundcard detection...",
                                                      "Autodetecting some non PnP soundcards..."}));
  EXPECT_FALSE(routing_kept());
}

TEST_F(DetectTest, IsaProbesAreQuietBelowVerbosity3) {
  machine(ISA_MACHINE);
  ASSERT_EQ(load_modules_lis(model_.drivers, ISA_MODULES_LIS), 0);
  model_.verbosity = 2;
  fault("Config", 3);
  testing::internal::CaptureStderr();
  autodetect_isa_cards(model_, database(), asker_, control_);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(cards().size(), 5u);
}

// Once a plug-and-play card was seen, the ISA autodetection does nothing.
TEST_F(DetectTest, IsaProbesSkippedAfterPnp) {
  machine(ISA_MACHINE);
  ASSERT_EQ(load_modules_lis(model_.drivers, ISA_MODULES_LIS), 0);
  model_.detect.pnp_seen = 1;
  autodetect_isa_cards(model_, database(), asker_, control_);
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(asker_.notices.empty());
  EXPECT_TRUE(routing_kept());
  EXPECT_EQ(model_.detect.isa_probe_ran, 0);
  EXPECT_TRUE(cards().empty());
}

}  // namespace
