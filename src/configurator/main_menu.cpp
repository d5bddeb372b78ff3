// The configurator's main menu: a table of items, each with its condition
// and its action, and the save-or-leave loop around it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cardcfg/allocate.h"
#include "common/asker.h"
#include "cardcfg/card_dialogs.h"
#include "cardcfg/cardlist.h"
#include "cardcfg/detect.h"
#include "cardcfg/devices_cfg.h"
#include "cardcfg/model.h"
#include "cardcfg/resources.h"
#include "common/atomic_file.h"
#include "common/common.h"
#include "common/text.h"
#include "configurator/configurator.h"
#include "configurator/restart.h"
#include "configurator/screens.h"
#include "hwdb/hwdb.h"
#include "entry/entry.h"
#include "entry/install_status.h"
#include "sys/sys.h"

namespace kvl {

namespace {

constexpr int CODE_SAVE = 1;
constexpr int CODE_CANCEL = 2;

const char *const NO_CARD_LINES[] = {
    "ERROR! No devices defined yet.",
    " ",
    "Please run the 'Autodetect old non-PnP ISA devices'",
    "function or define the card manually. If you have a",
    "PCI sound device it's probably one that is not supported",
    "by KVL (yet). However the 'Autodetect Soundcards'",
    "function can be used to detect PCI/PnP devices.",
};

ConfigModel &model_of(Configurator &cfg) { return cfg.run.model; }

bool no_driver(const Configurator &cfg) { return cfg.run.control.no_driver != 0; }

// Plug-and-play and PCI detection, then the older ISA cards, then the
// resource pass, so that detected cards leave with their resources assigned.
void detect_cards(Configurator &cfg) {
  ConfigModel &m = model_of(cfg);
  detect_pnp_cards(m, cfg.db, cfg.asker, cfg.run.control);
  sys_sync();
  autodetect_isa_cards(m, cfg.db, cfg.asker, cfg.run.control);
  rebuild_and_check_all(m, cfg.db, cfg.asker);
}

void autodetect(Configurator &cfg) {
  ConfigModel &m = model_of(cfg);
  if (m.detect.autodetect_done) {
    cfg.asker.notice("Can't run autodetection twice - restart audset", true);
  } else if (no_driver(cfg)) {
    // Without a driver nothing can be detected: the list starts afresh.
    m.cards = CardList{};
    forget_routing(m.install_dir);
    rebuild_and_check_all(m, cfg.db, cfg.asker);
  } else {
    detect_cards(cfg);
  }
}

void add_card_action(Configurator &cfg) {
  add_card_dialog(model_of(cfg), cfg.db, cfg.asker, no_driver(cfg));
}
void remove_card_action(Configurator &cfg) {
  remove_card_dialog(model_of(cfg), cfg.db, cfg.asker);
}
void reorder_action(Configurator &cfg) {
  reorder_cards_dialog(model_of(cfg), cfg.db, cfg.asker);
}

void quick_self_test(Configurator &cfg) { self_test_item(cfg, 1); }
void full_self_test(Configurator &cfg) { self_test_item(cfg, 0); }

bool always(const Configurator &) { return true; }
bool several_cards(const Configurator &cfg) { return cfg.run.model.cards.count > 1; }
bool may_autodetect(const Configurator &cfg) {
  return !no_driver(cfg) && !cfg.run.model.detect.autodetect_done;
}

struct MenuItem {
  int code;
  const char *text;
  bool (*shown)(const Configurator &);
  void (*action)(Configurator &);  // nullptr: save or leave, handled by the loop
  bool refresh;                    // the card lines change
};

const MenuItem MENU[] = {
    {1, "Save changes and Exit", always, nullptr, false},
    {2, "Cancel changes and Exit", always, nullptr, false},
    {3, "Add new card/device", always, add_card_action, true},
    {4, "Remove a card/device", always, remove_card_action, true},
    {20, "Reorder card list", several_cards, reorder_action, true},
    {9, "Autodetect soundcards", may_autodetect, autodetect, true},
    {10, "Security setup", always, security_setup, false},
    {5, "Manual configuration", always, manual_configuration, true},
    {18, "Configuration options (etc/options.cfg)", always, edit_options, false},
    {24, "Audio self test (quick test)", always, quick_self_test, false},
    {19, "Audio self test (full test)", always, full_self_test, false},
    {22, "Download and install KVL update", always, update_item, false},
};

const MenuItem *find_item(int code) {
  for (const MenuItem &item : MENU)
    if (item.code == code) return &item;
  return nullptr;
}

// Keeps the file as read beside it when the rewrite at entry would drop or
// change any of its lines (card lines the reader could not use, lines with
// a NUL byte, comments, anything not in the configurator's own form): the
// rewrite would otherwise lose them for good, even if the user cancels.
void keep_file_as_read(const Configurator &cfg, const std::string &text, int skipped) {
  DeviceConfigText rewrite;
  std::string why;
  if (skipped == 0 && (format_device_config(cfg.run.model, cfg.db, &rewrite, &why) < 0 ||
                       rewrite.devices == text))
    return;  // nothing lost (or nothing written: the save says why)
  const std::string &path = cfg.devices_path;
  std::string old = path + ".old";
  if (replace_file(old.c_str(), text) < 0) {
    print_error(old.c_str());
    return;
  }
  if (skipped > 0)
    std::fprintf(stderr, "Some card lines of %s could not be used; the file as read is kept as %s\n",
                 path.c_str(), old.c_str());
  else
    std::fprintf(stderr, "The rewrite of %s drops or changes lines; the file as read is kept as %s\n",
                 path.c_str(), old.c_str());
}

}  // namespace

int save_configuration(Configurator &cfg) {
  std::string why;
  if (write_device_config(model_of(cfg), cfg.db, cfg.asker, cfg.devices_path.c_str(),
                          cfg.modules_path.c_str(), &why) == 0)
    return 0;
  cfg.asker.notice("Saving failed: " + why, true);
  return -1;
}

std::vector<std::string> configured_card_lines(const ConfigModel &model, const HwdbModel &db) {
  std::vector<std::string> lines;
  if (model.cards.count == 0) lines.assign(std::begin(NO_CARD_LINES), std::end(NO_CARD_LINES));
  for (int i = 0; i < model.cards.count; i++) lines.push_back(card_title(db, model.cards.cards[i]));
  return lines;
}

int main_menu(Configurator &cfg) {
  ConfigModel &m = model_of(cfg);
  write_install_status(m.install_dir, STATUS_CONFIGURING);
  AskChoice menu;
  menu.title = "Kelvane - Config main menu";
  menu.headers = configured_card_lines(m, cfg.db);
  for (const MenuItem &item : MENU)
    if (item.shown(cfg)) menu.items.push_back({item.text, item.code});
  menu.buttons = {{"Save and exit", CODE_SAVE}, {"Exit without saving", CODE_CANCEL}};
  for (;;) {
    menu.current = 0;
    int code = cfg.asker.choose(menu).code;
    if (code == CODE_SAVE) {
      cfg.asker.notice("Saving changes", false);
      rebuild_and_check_all(m, cfg.db, cfg.asker);
      if (m.resources.failures != 0)
        cfg.asker.notice("Resource conflict detected. Edit configuration manually.", true);
      return 1;
    }
    if (code == CODE_CANCEL) {
      cfg.asker.notice("Exit without saving changes", false);
      write_install_status(m.install_dir, STATUS_CONFIGURED);
      return 0;
    }
    const MenuItem *item = find_item(code);
    if (!item || !item->action) continue;  // Escape and unknown codes
    item->action(cfg);
    if (item->refresh) menu.headers = configured_card_lines(m, cfg.db);
  }
}

int configure(Configurator &cfg) {
  ConfigModel &m = model_of(cfg);
  // A control device that is there but does not open is no plain "no
  // driver" (no file, or a driver not loaded): say why the configurator
  // runs without one.
  int open_error = cfg.run.control.open_error;
  if (open_error != 0 && open_error != ENOENT && open_error != ENODEV && open_error != ENXIO)
    cfg.asker.notice(std::string("/dev/mixer0: ") + std::strerror(open_error) +
                         " - running without the driver",
                     true);
  std::string text;
  int skipped = read_devices_cfg(m, cfg.db, cfg.asker, cfg.devices_path.c_str(), &text);
  if (skipped < 0 && errno != ENOENT) return -1;
  if (m.settings.first_configuration) {
    m.settings.irq_exclude = 0x18;  // IRQs 3 and 4: the serial ports
    m.settings.dma_exclude = 0x4;   // DMA 2: the floppy controller
    if (!no_driver(cfg)) detect_cards(cfg);
    else rebuild_and_check_all(m, cfg.db, cfg.asker);
    if (m.cards.count == 0) add_card_action(cfg);
  } else {
    // Both files in the program's own form, even if the user cancels.
    keep_file_as_read(cfg, text, skipped);
    save_configuration(cfg);
  }
  for (;;) {
    if (!main_menu(cfg)) return 0;
    if (save_configuration(cfg) == 0) {
      write_install_status(m.install_dir, STATUS_CONFIGURED);
      return 0;
    }
  }
}

void print_driver_list(const DriverTable &drivers, std::FILE *out) {
  for (int i = 0; i < drivers.count; i++)
    std::fprintf(out, "%s %s\n", drivers.names[i].c_str(), drivers.texts[i].c_str());
}

}  // namespace kvl
