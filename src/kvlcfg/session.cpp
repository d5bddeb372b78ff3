// What every kvlcfg command shares: the installation and its tables, the
// configurator's lock, reading etc/devices.cfg, the recording asker, and the
// save that ends a change.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cardcfg/load.h"
#include "cardcfg/modules.h"
#include "cardcfg/resources.h"
#include "common/atomic_file.h"
#include "common/common.h"
#include "common/text.h"
#include "entry/config_lock.h"
#include "entry/install_status.h"
#include "hwdb/hwdb.h"
#include "kvlcfg/kvlcfg.h"
#include "settings/dspdevs_map.h"
#include "sys/sys.h"

namespace kvl {

Session::Session()
    : model(std::make_unique<ConfigModel>()), lines(std::make_unique<DevicesCfgLines>()) {
  asker = std::make_unique<RecordingAsker>(*model, db);
  for (int i = 0; i < MAX_CARDS; i++) origin[i] = i;
}

Session::~Session() {
  if (db_loaded) hwdb_model_free(&db);
  if (control.fd >= 0) control_close(control);
  if (lock >= 0) close(lock);
}

// --- the recording asker ---

Question RecordingAsker::about_now() {
  Question q;
  AskedSlot &a = model_.resources.asking;
  q.who = a.who;
  q.res = a.res;
  if (a.who.card >= 0 && a.who.card < model_.cards.count && a.who.device >= 0 && a.res)
    q.state = slot_state(model_, db_, a.who.card, a.who.device, *a.res);
  a.who = {};
  a.res = nullptr;
  return q;
}

void RecordingAsker::notice(const std::string &text, bool wait) {
  if (!recording || !wait) return;
  Question q = about_now();
  q.kind = Question::Notice;
  q.text = text;
  questions.push_back(std::move(q));
}

AskAnswer RecordingAsker::choose(const AskChoice &choice) {
  if (recording) {
    Question q = about_now();
    q.kind = Question::Choice;
    q.title = choice.title;
    for (const AskItem &item : choice.items) {
      if (item.code == ASK_ESCAPE) continue;
      q.choices.push_back(item);
      if (q.res && value_free(model_, *q.res, item.code)) q.free_choices++;
    }
    questions.push_back(std::move(q));
  }
  return {ASK_ESCAPE, choice.current};
}

int RecordingAsker::enter_text(const std::string &, std::string &, size_t) {
  if (!recording) return 0;
  Question q = about_now();
  q.kind = Question::Firmware;
  if (q.who.card >= 0 && q.who.card < model_.cards.count) {
    std::string path(field_text(model_.cards.cards[q.who.card].download_path));
    struct stat st;
    if (!path.empty() && sys_stat(path.c_str(), &st) < 0) q.text = path + ": " + std::strerror(errno);
    else if (!path.empty()) q.text = path;
  }
  questions.push_back(std::move(q));
  return 0;  // as a person who cancels the prompt: the path stays
}

// --- the installation ---

int locate_installation(Session &s) {
  std::string dir = s.opt.dir;
  if (dir.empty()) {
    std::string error;
    if (default_install_dir(&dir, &error) < 0) return usage_refusal(s, error);
  }
  s.model->install_dir = dir;
  s.out["dir"] = dir;
  return 0;
}

int open_installation(Session &s) {
  if (int rc = locate_installation(s)) return rc;
  ConfigModel &m = *s.model;
  if (control_open(s.control, true) < 0) return KVLCFG_USAGE;
  m.drivers.slots = 0;
  if (read_modules_lis(m) < 0) return KVLCFG_USAGE;
  if (load_hardware_data(m, s.control, &s.db) < 0) return KVLCFG_USAGE;
  s.db_loaded = true;
  return 0;
}

int read_configuration(Session &s) {
  ConfigModel &m = *s.model;
  std::string path = kvl_path(m.install_dir, DEVICES_CFG);
  std::string text;
  if (read_text_file(path.c_str(), text) < 0) {
    if (errno != ENOENT) {
      print_error(path.c_str());
      return KVLCFG_USAGE;
    }
    // A first configuration, with the configurator's exclusions.
    s.config_missing = true;
    m.settings.irq_exclude = 0x18;  // IRQs 3 and 4: the serial ports
    m.settings.dma_exclude = 0x4;   // DMA 2: the floppy controller
    return 0;
  }
  int skipped = parse_devices_cfg(m, s.db, *s.asker, text, s.lines.get());
  // Not in the program's own form (comments, words it does not write, lines
  // it could not use): a save would lose those lines.
  DeviceConfigText own;
  std::string why;
  s.text_read = text;
  s.keep_old = skipped > 0 || (format_device_config(m, s.db, &own, &why) == 0 && own.devices != text);
  return 0;
}

int take_config_lock(Session &s) {
  const std::string &dir = s.model->install_dir;
  long holder = 0;
  bool held;
  if (s.opt.no_act) {
    held = configurator_running(dir, &holder) == 1;
  } else {
    int fd = lock_configurator(dir, &holder);
    held = fd == -1;
    // A lock file that cannot be made (a read-only etc/): on without it, as
    // the configurator goes; the save then says why it cannot write.
    s.lock = fd >= 0 ? fd : -1;
  }
  if (!held) return 0;
  s.out["error"] = configurator_running_text(holder);
  return KVLCFG_PROBLEMS;
}

// --- saving ---

namespace {

void print_file(const std::string &rel, const std::string &text) {
  std::printf("==> %s <==\n%s", rel.c_str(), text.c_str());
  if (!text.empty() && text.back() != '\n') std::printf("\n");
}

std::string dir_path(const Session &s, const char *rel) { return kvl_path(s.model->install_dir, rel); }

void saved(Session &s, const std::vector<std::string> &files) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::string &f : files) {
    if (!s.opt.json) std::printf("Saved %s\n", dir_path(s, f.c_str()).c_str());
    list.push_back(f);
  }
  s.out["saved"] = true;
  s.out["files"] = list;
  write_install_status(s.model->install_dir, STATUS_CONFIGURED);
}

// Keeps the file as read beside it, as the configurator does before its
// rewrite drops or changes lines.
void keep_file_as_read(const Session &s, const std::string &saved) {
  if (!s.keep_old || s.text_read == saved) return;
  std::string path = dir_path(s, DEVICES_CFG), old = path + ".old";
  if (replace_file(old.c_str(), s.text_read) < 0) {
    print_error(old.c_str());
    return;
  }
  if (s.replacing)
    std::fprintf(stderr, "The configuration %s held is kept as %s\n", path.c_str(), old.c_str());
  else
    std::fprintf(stderr, "The rewrite of %s drops or changes lines; the file as read is kept as %s\n",
                 path.c_str(), old.c_str());
}

int save_failed(Session &s, const std::string &why) {
  std::fprintf(stderr, "kvlcfg: %s\n", why.c_str());
  s.out["saved"] = false;
  s.out["error"] = why;
  return KVLCFG_PROBLEMS;
}

}  // namespace

int finish_change(Session &s, bool forget) {
  ConfigModel &m = *s.model;
  rebuild_and_check_all(m, s.db, *s.asker);
  std::vector<Finding> found = devices_findings(s);
  bool problems = problem_count(found) > 0;
  s.out["problems"] = findings_json(found);
  if (problems && !s.opt.force) {
    print_findings(found, true);
    std::fprintf(stderr, "kvlcfg: nothing saved (--force saves despite the problems)\n");
    s.out["saved"] = false;
    return KVLCFG_PROBLEMS;
  }
  if (problems) {
    print_findings(found, false);
    std::fprintf(stderr, "kvlcfg: saved despite the problems above (--force)\n");
  }
  DeviceConfigText text;
  std::string why;
  if (format_device_config(m, s.db, &text, &why) < 0) return save_failed(s, why);
  std::string dspdevs = dir_path(s, DSPDEVS_MAP);
  struct stat st;
  bool routing_goes = forget && stat(dspdevs.c_str(), &st) == 0;
  if (s.opt.no_act) {
    s.out["saved"] = false;
    s.out["would_write"] = {{DEVICES_CFG, text.devices}, {MODULES_CFG, text.modules}};
    s.out["would_remove"] = routing_goes ? nlohmann::json::array({DSPDEVS_MAP}) : nlohmann::json::array();
    if (s.opt.json) return KVLCFG_OK;
    if (routing_goes) std::printf("%s would be removed\n", DSPDEVS_MAP);
    print_file(DEVICES_CFG, text.devices);
    print_file(MODULES_CFG, text.modules);
    return KVLCFG_OK;
  }
  s.asker->recording = false;  // the disabled-devices warning is the configurator's
  if (write_device_config(m, s.db, *s.asker, dir_path(s, DEVICES_CFG).c_str(),
                          dir_path(s, MODULES_CFG).c_str(), &why) < 0)
    return save_failed(s, why);
  keep_file_as_read(s, text.devices);
  if (forget) forget_routing(m.install_dir);
  saved(s, {DEVICES_CFG, MODULES_CFG});
  s.out["removed"] = routing_goes ? nlohmann::json::array({DSPDEVS_MAP}) : nlohmann::json::array();
  if (routing_goes && !s.opt.json)
    std::printf("Removed %s: the audio devices are numbered afresh at the next start\n",
                dspdevs.c_str());
  return KVLCFG_OK;
}

int finish_file_change(Session &s, const char *rel, const std::string &text) {
  if (s.opt.no_act) {
    s.out["saved"] = false;
    s.out["would_write"] = {{rel, text}};
    if (!s.opt.json) print_file(rel, text);
    return KVLCFG_OK;
  }
  std::string path = dir_path(s, rel);
  if (replace_file(path.c_str(), text) < 0) return save_failed(s, path + ": " + std::strerror(errno));
  saved(s, {rel});
  return KVLCFG_OK;
}

// --- naming cards and devices ---

std::string card_label(const Session &s, int card) {
  return "card " + std::to_string(card + 1) + " " +
         std::string(field_text(s.model->cards.cards[card].name));
}

namespace {

bool all_digits(const std::string &w) {
  if (w.empty()) return false;
  for (char c : w)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

int refusal(Session &s, const std::string &why) {
  std::fprintf(stderr, "kvlcfg: %s\n", why.c_str());
  s.out["error"] = why;
  return KVLCFG_PROBLEMS;
}

int usage_refusal(Session &s, const std::string &why) {
  refusal(s, why);
  return KVLCFG_USAGE;
}

int find_card(Session &s, const std::string &word, int *card) {
  const CardList &cards = s.model->cards;
  if (all_digits(word)) {
    int n = word.size() > 3 ? 0 : std::stoi(word);
    if (n < 1 || n > cards.count)
      return refusal(s, "no card at position " + word + " (the list has " +
                           std::to_string(cards.count) + ")");
    *card = n - 1;
    return 0;
  }
  std::string places;
  int found = -1, hits = 0;
  for (int i = 0; i < cards.count; i++)
    if (field_text(cards.cards[i].name) == word) {
      if (hits++ == 0) found = i;
      places += (places.empty() ? "" : ", ") + std::to_string(i + 1);
    }
  if (hits == 0) return refusal(s, "no card " + word + " is configured");
  if (hits > 1) return refusal(s, word + " names the cards at " + places + ": give the position");
  *card = found;
  return 0;
}

int find_device(Session &s, int card, const std::string &name, int *device) {
  const ConfiguredCard &cc = s.model->cards.cards[card];
  const HwdbNode *cn = hwdb_node(s.db, cc.node);
  for (int d = 0; d < cc.device_count && d < MAX_CARD_DEVICES && cn && !(cn->opt & OPT_NO_ALLOC); d++) {
    const HwdbNode *dn = hwdb_node(s.db, cc.devices[d].node);
    if (dn && !(dn->opt & OPT_NO_ALLOC) && field_text(dn->name) == name) {
      *device = d;
      return 0;
    }
  }
  return refusal(s, card_label(s, card) + " has no device " + name + " to configure");
}

}  // namespace kvl
