// The card-list dialogs: each builds its question for the Asker and decides
// what the answer does to the model.
#include "cardcfg/card_dialogs.h"

#include <cctype>
#include <cstdio>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "cardcfg/allocate_private.h"
#include "common/asker.h"
#include "cardcfg/cardlist.h"
#include "cardcfg/model.h"
#include "common/common.h"
#include "common/text.h"
#include "hwdb/hwdb.h"

namespace kvl {

namespace {

constexpr int CODE_CANCEL = -1;
constexpr int CODE_MOVE_UP = 1;
constexpr int CODE_MOVE_DOWN = 2;
constexpr int INFO_LINES = 1000;
constexpr size_t HELP_LINE_MAX = 254;

const char *const ADD_NOTE[] = {
    "NOTE! PnP and PCI devices cannot be added manually and they are not",
    "      shown below. KVL will find such cards automatically",
    "      (provided that they are supported). Use the",
    "      'Autodetect soundcards' function in the main menu",
    "      to configure any newly installed PCI or PnP devices.",
};

const char *const REORDER_NOTE[] = {
    "Select a device and move it up/down with the function buttons",
    "",
    "Note that the order of the Virtual Mixer, Input Mux and ISA PnP devices",
    "cannot be changed. Regardless of the device order in audset these",
    "devices will be initialized in fixed order after PCI and non-PnP ISA cards.",
    "Only the relative order of PCI and non-PnP ISA cards can be changed.",
};

// The item the user picked: an item's code directly, or the current item
// for a button that takes it. -1 when the answer picked none.
int picked_item(const AskChoice &c, const AskAnswer &ans) {
  int n = static_cast<int>(c.items.size());
  if (ans.code == ASK_USE_ITEM) return ans.current >= 0 && ans.current < n ? ans.current : -1;
  for (int i = 0; i < n; i++)
    if (c.items[i].code == ans.code) return i;
  return -1;
}

// The card list's lines, one per card in list order, coded by position.
void add_card_items(AskChoice &c, const ConfigModel &model, const HwdbModel &db) {
  for (int i = 0; i < model.cards.count; i++)
    c.items.push_back({card_title(db, model.cards.cards[i]), i});
}

}  // namespace

bool offered_for_adding(const HwdbModel &db, const HwdbMenu &row, bool no_driver) {
  if (no_driver) return true;
  const HwdbNode *node = hwdb_node(db, row.node);
  return node && !(node->opt & (OPT_NOT_MANUAL | OPT_PNP));
}

std::string help_file_name(const std::string &text) {
  size_t at = text.find("README.");
  while (at != std::string::npos) {
    size_t end = at + 7;
    while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end]))) end++;
    if (end > at + 7) return text.substr(at, end - at);
    at = text.find("README.", at + 1);
  }
  return "";
}

std::vector<std::string> help_file_lines(const std::string &dir, const std::string &name) {
  std::vector<std::string> lines;
  std::string body;
  if (name.empty() || read_text_file(kvl_path(dir, "docs/" + name).c_str(), body) < 0) return lines;
  std::string_view rest = body, line;
  while (next_line(rest, line)) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    lines.emplace_back(line.substr(0, HELP_LINE_MAX));
  }
  return lines;
}

void show_card_info(const ConfigModel &model, const HwdbModel &db, Asker &asker,
                    const char *name) {
  int row = hwdb_find_card(db, name);
  if (row < 0) {
    std::fprintf(stderr, "Error: Card '%s' not found in database\n", name);
    return;
  }
  const HwdbMenu &menu = db.menus[row];
  std::string title(field_text(menu.title));
  const HwdbNode *node = hwdb_node(db, menu.node);
  const char *text = node ? hwdb_text(db, node->descr) : nullptr;
  std::vector<std::string> lines;
  if (text) {
    add_help_section(lines, "Information about " + title, text);
  } else {
    std::string file = help_file_name(title);
    if (!file.empty()) lines = help_file_lines(model.install_dir, file);
    else lines.push_back("Sorry. No further information about this device.");
  }
  AskChoice c;
  c.title = title;
  if (lines.size() > static_cast<size_t>(INFO_LINES)) lines.resize(INFO_LINES);
  for (std::string &l : lines) c.items.push_back({std::move(l), ASK_ESCAPE});
  c.buttons.push_back({" Ok ", ASK_USE_ITEM});
  asker.choose(c);
}

int add_card_dialog(ConfigModel &model, const HwdbModel &db, Asker &asker, bool no_driver) {
  AskChoice c;
  c.title = "Select a device to be added";
  for (const char *line : ADD_NOTE) c.headers.push_back(line);
  c.buttons = {{" Add ", ASK_USE_ITEM}, {" Cancel ", CODE_CANCEL}, {" Card Info ", ASK_HELP}};
  for (int r = 0; r < db.menu_count; r++)
    if (offered_for_adding(db, db.menus[r], no_driver))
      c.items.push_back({std::string(field_text(db.menus[r].title)), r});
  for (;;) {
    AskAnswer ans = asker.choose(c);
    int n = static_cast<int>(c.items.size());
    if (ans.code == ASK_HELP) {
      if (ans.current >= 0 && ans.current < n) {
        std::string name(field_text(db.menus[c.items[ans.current].code].name));
        show_card_info(model, db, asker, name.c_str());
        c.current = ans.current;
      }
      continue;
    }
    int pick = picked_item(c, ans);
    if (pick < 0) return 0;
    const HwdbMenu &row = db.menus[c.items[pick].code];
    std::string note;
    appendf(note, "Adding: %s", std::string(field_text(row.title)).c_str());
    asker.notice(note, false);
    std::string name(field_text(row.name));
    if (add_card(model, db, asker, name.c_str(), 0) < 0) return 0;
    forget_routing(model.install_dir);
    Allocation a{model, db, asker};
    check_card(a, model.cards.count - 1);
    return 1;
  }
}

void remove_card_dialog(ConfigModel &model, const HwdbModel &db, Asker &asker) {
  if (model.cards.count == 0) {
    asker.notice("No devices to delete", true);
    return;
  }
  AskChoice c;
  c.title = "Select device to be removed";
  c.buttons = {{" Remove ", ASK_USE_ITEM}, {" Cancel ", CODE_CANCEL}};
  add_card_items(c, model, db);
  int pick = picked_item(c, asker.choose(c));
  if (pick < 0) return;
  remove_card_at(model.cards, pick);
  forget_routing(model.install_dir);
  rebuild_and_check_all(model, db, asker);
}

void reorder_cards_dialog(ConfigModel &model, const HwdbModel &db, Asker &asker) {
  int n = model.cards.count;
  if (n == 0) {
    asker.notice("No devices to reorder", true);
    return;
  }
  int order[MAX_CARDS];
  std::iota(order, order + n, 0);
  int current = 0;
  for (;;) {
    AskChoice c;
    c.title = "Reorder devices";
    for (const char *line : REORDER_NOTE) c.headers.push_back(line);
    c.buttons = {{" Move Up ", CODE_MOVE_UP},
                 {" Move Down ", CODE_MOVE_DOWN},
                 {" OK ", ASK_USE_ITEM},
                 {" Cancel ", CODE_CANCEL}};
    for (int i = 0; i < n; i++)
      c.items.push_back({card_title(db, model.cards.cards[order[i]]), i + 100});
    c.current = current;
    AskAnswer ans = asker.choose(c);
    int p = ans.current >= 0 && ans.current < n ? ans.current : current;
    if (ans.code == ASK_USE_ITEM) break;
    if (ans.code == CODE_MOVE_UP) {
      if (p > 0) std::swap(order[p - 1], order[p]), p--;
    } else if (ans.code == CODE_MOVE_DOWN) {
      if (p < n - 1) std::swap(order[p], order[p + 1]), p++;
    } else if (ans.code >= 100 && ans.code < 100 + n) {
      p = ans.code - 100;
    } else {
      return;  // Cancel, Escape
    }
    current = p;
  }
  forget_routing(model.install_dir);
  permute_cards(model.cards, order, n);
}

}  // namespace kvl
