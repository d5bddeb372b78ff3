// Card detection: the plug-and-play and PCI cards the driver reports (with
// logs/pnpres.dat), then the older ISA cards each card-level driver's probe
// finds.
#include "cardcfg/detect.h"

#include "common/asker.h"
#include "cardcfg/cardlist.h"
#include "cardcfg/model.h"
#include "cardcfg/resources.h"
#include "common/atomic_file.h"
#include "common/common.h"
#include "common/text.h"
#include "control/control.h"
#include "driver/driver.h"
#include "hwdb/hwdb.h"
#include "sys/sys.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace kvl {

namespace {

constexpr int PNP_PORT_FIRST = 0x203;
constexpr int PNP_PORT_LAST = 0x3fe;

// A detection request the driver refused, already printed by
// control_request: a waiting box names it too, so the user knows why cards
// may be missing (those found so far stay).
void tell_failure(Asker &asker, uint32_t code, int err) {
  asker.notice(std::string("Detection failed: ") + request_label(code) + ": " + std::strerror(err),
               true);
}

// control_request that tells a refusal in a box as well.
int detect_request(Asker &asker, const ControlDevice &control, uint32_t code, void *record) {
  int rc = control_request(control, code, record);
  if (rc < 0) tell_failure(asker, code, errno);
  return rc;
}

// One card the driver described: flags, IRQ masks and, when the database
// knows it, a new card in the list. Only a PCI card's IRQ (1..31) counts.
void take_card(ConfigModel &model, const HwdbModel &db, Asker &asker, const PnpCardInfo &info) {
  bool pci = info.id == -1;
  if (!pci) model.detect.pnp_seen = 1;
  std::string name = detected_card_name(db, info.id, read_pnp_card_name(info.name, sizeof info.name));
  uint32_t bit = pci ? irq_mask_bit(info.irq & 0xff) : 0;
  if (model.settings.pci_irq_mask & bit) model.detect.shared_irq_mask |= bit;
  if (name.empty()) {
    model.settings.pnp_preserve = 1;
    return;
  }
  add_card(model, db, asker, name.c_str(), 0);
  model.settings.pci_irq_mask |= bit;
}

// Asks for every card number until the driver refuses one. Returns the
// number of plug-and-play cards, or -1 when they could not be counted.
int ask_cards(ConfigModel &model, const HwdbModel &db, Asker &asker, const ControlDevice &control) {
  int port = model.settings.pnp_port;
  if (port >= PNP_PORT_FIRST && port <= PNP_PORT_LAST) {
    int32_t p = port;
    if (detect_request(asker, control, CTL_PNP_SET_PORT, &p) < 0) return -1;
  }
  int32_t count = 0;
  int pnp_cards = detect_request(asker, control, CTL_PNP_DETECT, &count);
  if (pnp_cards < 0) return -1;
  for (int n = 0; n <= PNP_LAST_CARD_NUMBER; n++) {
    PnpCardInfo info{};
    info.id = n;
    if (control_request(control, CTL_PNP_CARD_INFO, &info) < 0) {
      // ENXIO past the last card is the normal end; anything else is not.
      if (errno != ENXIO) tell_failure(asker, CTL_PNP_CARD_INFO, errno);
      break;
    }
    take_card(model, db, asker, info);
  }
  return pnp_cards;
}

// logs/pnpres.dat: the resource dump of each plug-and-play card (none when
// they could not be counted), then the sharing warning. A log: a link put in
// its place is replaced, never written through.
void write_pnp_resources(ConfigModel &model, Asker &asker, const ControlDevice &control,
                         int pnp_cards) {
  std::string path = kvl_path(model.install_dir, "logs/pnpres.dat");
  model.detect.pnpres.clear();
  if (!model.detect.keep_files) {
    warn_if_log_folder_open(kvl_path(model.install_dir, "logs").c_str());
    if (check_replaceable(path.c_str()) < 0) {
      print_error(path.c_str());
      return;
    }
  }
  std::string text;
  for (int n = 0; n < pnp_cards && n <= PNP_LAST_CARD_NUMBER; n++) {
    PnpResourceDump dump{};
    dump.count = n;
    if (detect_request(asker, control, CTL_PNP_RESOURCES, &dump) < 0) break;
    append_pnp_resources(text, n, dump.count, dump.data, sizeof dump.data);
  }
  append_sharing_warning(text, model.detect.shared_irq_mask);
  model.detect.pnpres = std::move(text);
  if (!model.detect.keep_files) save_pnp_resources(model);
}

// One driver's probe, between two syncs; each line naming a database card
// adds it at the port the line gives.
void probe(ConfigModel &model, const HwdbModel &db, Asker &asker, const ControlDevice &control,
           const std::string &driver) {
  CardCommandRecord rec{};
  copy_field(rec.name, driver);
  rec.command = CMD_DETECT;
  sys_sync();
  int rc = control_send(control, CTL_CARD_COMMAND, &rec);
  int err = errno;
  if (rc < 0) {
    if (model.verbosity >= 3) std::fprintf(stderr, "Driver %s - not detected (%d)\n", driver.c_str(), err);
  } else {
    std::string_view reply = reply_text(rec.payload, sizeof rec.payload);
    if (model.verbosity >= 3)
      std::fprintf(stderr, "Driver(s) %s - detected %.*s\n", driver.c_str(),
                   static_cast<int>(reply.size()), reply.data());
    DetectLine line;
    while (next_detect_line(reply, &line)) {
      std::string name(line.name);
      if (!name.empty() && hwdb_find_card(db, name.c_str()) >= 0)
        add_card(model, db, asker, name.c_str(), line.port);
    }
  }
  sys_sync();
}

}  // namespace

int save_pnp_resources(const ConfigModel &model) {
  warn_if_log_folder_open(kvl_path(model.install_dir, "logs").c_str());
  std::string path = kvl_path(model.install_dir, "logs/pnpres.dat");
  if (replace_log_file(path.c_str(), model.detect.pnpres) == 0) return 0;
  print_error(path.c_str());
  return -1;
}

void detect_pnp_cards(ConfigModel &model, const HwdbModel &db, Asker &asker,
                      const ControlDevice &control) {
  if (!model.detect.keep_files) forget_routing(model.install_dir);
  asker.notice("Running PnP soundcard detection...", false);
  if (model.settings.pnp_preserve) detect_request(asker, control, CTL_PNP_RESTART, nullptr);

  // The card list starts afresh, and so do the IRQ masks that describe it.
  model.cards = CardList{};
  model.settings.pci_irq_mask = 0;
  model.detect.shared_irq_mask = 0;
  rebuild_and_check_all(model, db, asker);
  model.detect.autodetect_done = 1;

  int pnp_cards = ask_cards(model, db, asker, control);
  detect_request(asker, control, CTL_PNP_END, nullptr);
  write_pnp_resources(model, asker, control, pnp_cards);
}

void autodetect_isa_cards(ConfigModel &model, const HwdbModel &db, Asker &asker,
                          const ControlDevice &control) {
  if (model.detect.pnp_seen) return;
  if (!model.detect.keep_files) forget_routing(model.install_dir);
  sys_sync();
  asker.notice("Autodetecting some non PnP soundcards...", false);
  model.detect.isa_probe_ran = 1;

  const DriverTable &drivers = model.drivers;
  int slots = drivers.slots < drivers.count ? drivers.slots : drivers.count;
  if (slots > MAX_DRIVER_NAMES) slots = MAX_DRIVER_NAMES;
  for (int i = slots - 1; i >= 0; i--)
    if (!drivers.names[i].empty()) probe(model, db, asker, control, drivers.names[i]);
}

}  // namespace kvl
