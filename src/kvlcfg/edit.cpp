// The changes of the card list and the settings of devices.cfg. Each one
// takes the lock, reads the configuration, makes the change the way the
// configurator's screens make it, and ends with finish_change.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cardcfg/card_dialogs.h"
#include "cardcfg/cardlist.h"
#include "cardcfg/detect.h"
#include "common/common.h"
#include "common/text.h"
#include "kvlcfg/kvlcfg.h"
#include "sys/sys.h"

namespace kvl {

namespace {

// Installation, lock and configuration, in this order: nothing is read
// before the lock is held, so the change is made to what is saved.
int open_for_change(Session &s) {
  int rc = open_installation(s);
  if (rc == 0) rc = take_config_lock(s);
  if (rc == 0) rc = read_configuration(s);
  return rc;
}

bool names_device(const Session &s, const ConfiguredCard &card, std::string_view word) {
  for (int d = 0; d < card.device_count && d < MAX_CARD_DEVICES; d++) {
    const HwdbNode *n = hwdb_node(s.db, card.devices[d].node);
    if (n && field_text(n->name) == word) return true;
  }
  return false;
}

// The words of the arguments from index from on; an argument holding blanks
// gives its words.
std::vector<std::string> words_of(const std::vector<std::string> &args, size_t from) {
  std::vector<std::string> out;
  for (size_t i = from; i < args.size(); i++)
    for (std::string_view w : split_words(args[i]))
      if (!w.empty()) out.emplace_back(w);
  return out;
}

// Applies device lines to the card: words[0] names a device and starts the
// first line; with cut, every later word that names one of the card's
// devices (and is no firmware file after a "$" word) starts the next.
// Refuses a device switched off that may not be. Returns 0, KVLCFG_USAGE
// or KVLCFG_PROBLEMS.
int apply_words(Session &s, int card, const std::vector<std::string> &words, bool cut) {
  ConfiguredCard &cc = s.model->cards.cards[card];
  std::vector<std::vector<std::string_view>> lines;
  for (size_t i = 0; i < words.size(); i++) {
    bool starts = i == 0 || (cut && names_device(s, cc, words[i]) &&
                             (lines.back().empty() || lines.back().back()[0] != '$'));
    if (i == 0 && !names_device(s, cc, words[0]))
      return usage_refusal(s, card_label(s, card) + ": '" + words[0] + "': the card has no such device");
    if (starts) lines.emplace_back();
    lines.back().push_back(words[i]);
  }
  bool was_on[MAX_CARD_DEVICES];
  for (int d = 0; d < MAX_CARD_DEVICES; d++) was_on[d] = cc.devices[d].enabled;
  for (const auto &line : lines) {
    std::string why;
    if (apply_device_words(s.db, cc, line, &why) < 0)
      return usage_refusal(s, card_label(s, card) + ": " + why);
  }
  for (int d = 0; d < cc.device_count && d < MAX_CARD_DEVICES; d++) {
    const HwdbNode *n = hwdb_node(s.db, cc.devices[d].node);
    if (was_on[d] && !cc.devices[d].enabled && n && !(n->opt & OPT_MAY_DISABLE))
      return refusal(s, card_label(s, card) + ", device " + std::string(field_text(n->name)) +
                            ": Can't disable this device");
  }
  return 0;
}

// A position 1..count given on the command line, as an index.
int position(Session &s, const std::string &word, int *index) {
  if (word.empty() || word.size() > 3 || word.find_first_not_of("0123456789") != std::string::npos)
    return usage_refusal(s, "'" + word + "' is not a position");
  return find_card(s, word, index);
}

}  // namespace

int cmd_add(Session &s) {
  int rc = open_for_change(s);
  if (rc) return rc;
  const std::string &key = s.opt.args[0];
  int row = hwdb_find_card(s.db, key.c_str());
  if (row < 0) return usage_refusal(s, "Card '" + key + "' not found in database");
  if (!offered_for_adding(s.db, s.db.menus[row], s.control.no_driver != 0))
    return refusal(s, key + " is a plug-and-play or PCI card, which the driver finds: use 'kvlcfg detect'");
  ConfigModel &m = *s.model;
  if (add_card(m, s.db, *s.asker, key.c_str(), 0) < 0) return refusal(s, "Too many devices (at most 10 cards)");
  int c = m.cards.count - 1;
  s.origin[c] = -1;
  std::vector<std::string> words = words_of(s.opt.args, 1);
  if (!words.empty() && (rc = apply_words(s, c, words, true)) != 0) return rc;
  preset_factory_defaults(m, s.db, c);
  return finish_change(s, true);
}

int cmd_remove(Session &s) {
  int rc = open_for_change(s);
  int card;
  if (rc || (rc = find_card(s, s.opt.args[0], &card))) return rc;
  remove_card_at(s.model->cards, card);
  for (int i = card; i + 1 < MAX_CARDS; i++) s.origin[i] = s.origin[i + 1];
  return finish_change(s, true);
}

int cmd_move(Session &s) {
  int rc = open_for_change(s);
  int from, to;
  if (rc || (rc = position(s, s.opt.args[0], &from)) || (rc = position(s, s.opt.args[1], &to)))
    return rc;
  CardList &cards = s.model->cards;
  std::vector<int> order;
  for (int i = 0; i < cards.count; i++)
    if (i != from) order.push_back(i);
  order.insert(order.begin() + to, from);
  int origin[MAX_CARDS];
  for (int i = 0; i < cards.count; i++) origin[i] = s.origin[order[i]];
  std::copy(origin, origin + cards.count, s.origin);
  permute_cards(cards, order.data(), cards.count);
  return finish_change(s, true);
}

int cmd_enable(Session &s, bool on) {
  int rc = open_for_change(s);
  int card, device;
  if (rc || (rc = find_card(s, s.opt.args[0], &card)) ||
      (rc = find_device(s, card, s.opt.args[1], &device)))
    return rc;
  ConfigModel &m = *s.model;
  CardDevice &dev = m.cards.cards[card].devices[device];
  if (on) {
    dev.enabled = 1;
    preset_factory_defaults(m, s.db, card, device);
  } else {
    const HwdbNode *n = hwdb_node(s.db, dev.node);
    if (!n || !(n->opt & OPT_MAY_DISABLE))
      return refusal(s, card_label(s, card) + ", device " + s.opt.args[1] + ": Can't disable this device");
    dev.enabled = 0;
  }
  return finish_change(s, false);
}

int cmd_set(Session &s) {
  int rc = open_for_change(s);
  int card, device;
  if (rc || (rc = find_card(s, s.opt.args[0], &card)) ||
      (rc = find_device(s, card, s.opt.args[1], &device)))
    return rc;
  std::vector<std::string> words = words_of(s.opt.args, 2);
  if (words.empty()) return usage_refusal(s, "set needs the device's words, e.g. P220 I5");
  words.insert(words.begin(), s.opt.args[1]);
  if ((rc = apply_words(s, card, words, false)) != 0) return rc;
  ConfigModel &m = *s.model;
  if (m.cards.cards[card].devices[device].enabled) preset_factory_defaults(m, s.db, card, device);
  return finish_change(s, false);
}

int cmd_secure(Session &s) {
  const std::string &w = s.opt.args[0];
  if (w != "on" && w != "off") return usage_refusal(s, "secure takes on or off");
  int rc = open_for_change(s);
  if (rc) return rc;
  s.model->settings.secure_audio = w == "on";
  return finish_change(s, false);
}

int cmd_detect(Session &s) {
  int rc = open_for_change(s);
  if (rc) return rc;
  if (s.control.no_driver)
    return refusal(s, "no driver answers on /dev/mixer0: nothing can be detected");
  ConfigModel &m = *s.model;
  // Detection replaces the card list; what it found is kept only when saved.
  m.detect.keep_files = 1;
  detect_pnp_cards(m, s.db, *s.asker, s.control);
  sys_sync();
  autodetect_isa_cards(m, s.db, *s.asker, s.control);
  for (int c = 0; c < MAX_CARDS; c++) s.origin[c] = -1;
  for (int c = 0; c < m.cards.count; c++) preset_factory_defaults(m, s.db, c);
  // logs/pnpres.dat is what the driver reported: written in any case.
  if (s.opt.no_act) {
    s.out["pnpres"] = m.detect.pnpres;
    if (!s.opt.json) std::printf("==> logs/pnpres.dat <==\n%s", m.detect.pnpres.c_str());
  } else {
    save_pnp_resources(m);
  }
  return finish_change(s, true);
}

}  // namespace kvl
