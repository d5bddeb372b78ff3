// The selection dialogs of the resource allocation, their help screen and
// the firmware-file prompt. Each is a question to the Asker; what the
// answer means is decided here.
#include "cardcfg/allocate_private.h"

#include "common/asker.h"
#include "cardcfg/model.h"
#include "common/text.h"
#include "hwdb/hwdb.h"
#include "sys/sys.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace kvl {

namespace {

constexpr int CODE_CANCEL = -2;
constexpr int CODE_DISABLE = -1;
constexpr int PORT_LIST_LINES = 1000;
constexpr int HELP_LINES = 1000;
constexpr size_t DOWNLOAD_INPUT_BOUND = 1024;  // room to type more than a path may hold

struct Kind {
  const char *title;       // "Select I/O port for %s"
  const char *help_title;  // "Selecting an I/O port"
  const char *word;        // "port"
  const char *none;        // "Error: No free I/O ports"
};

const Kind PORT_KIND = {"Select I/O port for %s", "Selecting an I/O port", "port",
                        "Error: No free I/O ports"};
const Kind IRQ_KIND = {"Select IRQ for %s", "Selecting an IRQ", "irq", "Error: No free interrupts"};
const Kind DMA_KIND = {"Select DMA for %s", "Selecting an DMA", "dma",
                       "Error: No free DMA channels"};

std::string first_line(const char *text) {
  std::string s = text ? text : "";
  return s.substr(0, s.find('\n'));
}

std::string fmt_title(const char *pattern, const std::string &arg) {
  std::string out;
  appendf(out, pattern, arg.c_str());
  return out;
}

struct Dialog {
  Allocation &a;
  int card, device;
  const HwdbResource &res;
  const Kind &kind;
  const HwdbNode *card_node;
  const HwdbNode *dev_node;
  AskChoice choice;
  int first_candidate = 0;
};

Dialog open_dialog(Allocation &a, int card, int device, const HwdbResource &res, const Kind &k) {
  const ConfiguredCard &cc = a.model.cards.cards[card];
  Dialog d{a, card, device, res, k, hwdb_node(a.db, cc.node),
           hwdb_node(a.db, cc.devices[device].node), {}};
  d.choice.title = fmt_title(k.title, card_title(a.db, cc));
  a.model.resources.asking.who = {card, device};
  a.model.resources.asking.res = &res;
  return d;
}

bool may_disable(const Dialog &d) { return d.dev_node && (d.dev_node->opt & OPT_MAY_DISABLE); }

void add_description_headers(Dialog &d) {
  const char *dev_text = d.dev_node ? hwdb_text(d.a.db, d.dev_node->descr) : nullptr;
  const char *res_text = hwdb_text(d.a.db, d.res.descr);
  if (dev_text) d.choice.headers.push_back(first_line(dev_text));
  if (res_text) d.choice.headers.push_back(first_line(res_text));
}

void add_default_line(Dialog &d, const char *pattern) {
  if (!(d.res.flags & RF_DEFAULT_FIRST)) return;
  std::string text;
  appendf(text, pattern, d.res.def);
  d.choice.items.push_back({text, d.res.def});
}

void add_candidate(Dialog &d, std::string text, int value, int current) {
  if (value == current) d.choice.current = static_cast<int>(d.choice.items.size());
  d.choice.items.push_back({std::move(text), value});
}

bool has_candidates(const Dialog &d) {
  return static_cast<int>(d.choice.items.size()) > d.first_candidate;
}

// Nothing to offer: an optional resource stays unassigned quietly; any
// other is reported and counted.
void no_candidates(Dialog &d, int *slot) {
  if (d.res.flags & RF_OPTIONAL) {
    *slot = -1;
    return;
  }
  d.a.asker.notice(d.kind.none, true);
  d.a.model.resources.failures++;
}

void add_main_buttons(Dialog &d) {
  d.choice.buttons.push_back({"  Ok  ", ASK_USE_ITEM});
  d.choice.buttons.push_back({" Cancel ", CODE_CANCEL});
  d.choice.buttons.push_back({"Help", ASK_HELP});
  if (may_disable(d)) d.choice.buttons.push_back({"Disable device", CODE_DISABLE});
}

enum Outcome { CLOSED, CHOSEN, DISABLE };

// Runs the dialog until an answer other than Help; the chosen value in *value.
Outcome run_dialog(Dialog &d, int *value) {
  for (;;) {
    AskAnswer ans = d.a.asker.choose(d.choice);
    int n = static_cast<int>(d.choice.items.size());
    if (ans.code == ASK_HELP) {
      // Back from the help, the line the user had highlighted is current.
      if (ans.current >= 0 && ans.current < n) d.choice.current = ans.current;
      show_selection_help(d.a.asker, d.kind.help_title, d.kind.word,
                          d.card_node ? hwdb_text(d.a.db, d.card_node->descr) : nullptr,
                          d.dev_node ? hwdb_text(d.a.db, d.dev_node->descr) : nullptr,
                          hwdb_text(d.a.db, d.res.descr));
      continue;
    }
    if (ans.code == ASK_USE_ITEM) {
      if (ans.current < 0 || ans.current >= n) return CLOSED;
      *value = d.choice.items[ans.current].code;
      return CHOSEN;
    }
    if (ans.code == CODE_DISABLE) return may_disable(d) ? DISABLE : CLOSED;
    for (const AskItem &item : d.choice.items)
      if (item.code == ans.code) {
        *value = ans.code;
        return CHOSEN;
      }
    return CLOSED;  // Cancel, Escape
  }
}

// Asks the dialog's question. Returns true with *slot set to the chosen
// value; false when nothing was chosen (no candidate, cancelled, or the
// device disabled, which is then done).
bool ask_value(Dialog &d, int card, int device, int *slot) {
  if (!has_candidates(d)) {
    no_candidates(d, slot);
    return false;
  }
  add_main_buttons(d);
  int value = -1;
  Outcome o = run_dialog(d, &value);
  if (o == CLOSED) return false;
  if (o == DISABLE) {
    disable_device(d.a, card, device);
    return false;
  }
  *slot = value;
  return true;
}

std::string holder_name(const Allocation &a, int entry) {
  const HwdbNode *n = hwdb_node(a.db, a.model.resources.ports[entry].node);
  return n ? std::string(field_text(n->name)) : std::string("System");
}

}  // namespace

void select_port(Allocation &a, int card, int device, const HwdbResource &res) {
  Dialog d = open_dialog(a, card, device, res, PORT_KIND);
  CardDevice &dev = a.model.cards.cards[card].devices[device];
  int *slot = resource_slot(dev, res);
  if (!slot) return;
  add_description_headers(d);
  add_default_line(d, "(The factory default value is %x)");
  d.first_candidate = static_cast<int>(d.choice.items.size());
  auto offer = [&](int v, int current) {
    if (v < 0) return;
    int hit = -1;
    std::string text;
    if (port_range_free(a.model.resources, v, res.size, &res, &hit))
      appendf(text, "%03x - May be free (not sure)", v);
    else
      appendf(text, "%03x - (%s)", v, holder_name(a, hit).c_str());
    add_candidate(d, text, v, current);
  };
  auto room = [&] {
    return d.choice.headers.size() + d.choice.items.size() < static_cast<size_t>(PORT_LIST_LINES);
  };
  if (res.count > 0) {
    for (int i = 0; i < res.count && i < HWDB_MAX_VALUES && room(); i++) offer(res.values[i], *slot);
  } else if (res.range_step <= 0) {
    offer(res.range_start, -2);
  } else {
    for (long v = res.range_start; v <= res.range_end && room(); v += res.range_step)
      offer(static_cast<int>(v), -2);  // the range form preselects nothing
  }
  if (!ask_value(d, card, device, slot)) return;
  int value = *slot;
  if (port_range_free(a.model.resources, value, res.size, &res)) check_port(a, card, device, res);
  else take_port(a, card, device, res, value);
}

namespace {

// The IRQ and DMA dialogs, on the line table l, differ in their lines and in
// what follows the choice.
void select_line(Allocation &a, const Line &l, int card, int device, const HwdbResource &res) {
  bool irq = l.restype == RES_IRQ;
  Dialog d = open_dialog(a, card, device, res, irq ? IRQ_KIND : DMA_KIND);
  CardDevice &dev = a.model.cards.cards[card].devices[device];
  int *slot = resource_slot(dev, res);
  if (!slot) return;
  ResourceTables &t = a.model.resources;
  add_default_line(d, "(The factory default value is %d)");
  if (may_disable(d))
    d.choice.buttons.push_back({irq ? "Disable the IRQ" : "Disable DMA", CODE_DISABLE});
  add_description_headers(d);
  d.first_candidate = static_cast<int>(d.choice.items.size());
  if (res.count > 0) {
    for (int v = irq ? 1 : 0; v < l.lines; v++) {
      if (!(static_cast<uint32_t>(res.mask) >> v & 1u)) continue;
      const char *holder = l.holder[v];
      std::string text;
      if (irq && !holder) appendf(text, "%2d - May be free (not sure)", v);
      else if (irq) appendf(text, "%2d - %s", v, holder);
      else if (!holder) appendf(text, "%d  - free", v);
      else appendf(text, "%d - %s", v, holder);
      add_candidate(d, text, v, *slot);
    }
  }
  if (!ask_value(d, card, device, slot)) return;
  int value = *slot;
  bool nested = !irq;  // only the DMA dialogs count their depth here
  if (nested && t.dma_nesting > MAX_DMA_NESTING) {
    a.asker.notice("Can't find free DMA", true);
    disable_device(a, card, device);
    return;
  }
  if (nested) t.dma_nesting++;
  bool held = value >= 0 && value < l.lines && l.holder[value];
  if (held) take_line(a, l, card, device, value);
  else check_line(a, l, card, device, res);
  if (nested) t.dma_nesting--;
}

bool file_exists(const std::string &path, int *err) {
  struct stat st;
  if (sys_stat(path.c_str(), &st) == 0) return true;
  *err = errno;
  return false;
}

}  // namespace

void add_help_section(std::vector<std::string> &lines, const std::string &heading,
                      const char *text) {
  lines.push_back(heading);
  lines.push_back(std::string(heading.size(), '='));
  lines.push_back("");
  if (!text || !*text) {
    lines.push_back("*** No information available ***");
  } else {
    std::string_view rest = text;
    int count = 0;
    while (!rest.empty()) {
      size_t nl = rest.find('\n');
      lines.push_back(std::string(rest.substr(0, nl)));
      count++;
      rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
    }
    if (count == 1) lines.push_back("(No further information on this subject).");
  }
  lines.push_back("");
}

void select_irq(Allocation &a, int card, int device, const HwdbResource &res) {
  select_line(a, irq_line(a.model.resources), card, device, res);
}

void select_dma(Allocation &a, int card, int device, const HwdbResource &res) {
  select_line(a, dma_line(a.model.resources), card, device, res);
}

void show_selection_help(Asker &asker, const std::string &title, const char *word,
                         const char *card_text, const char *device_text,
                         const char *resource_text) {
  AskChoice c;
  c.title = title;
  add_help_section(c.headers, "Soundcard or device", card_text);
  add_help_section(c.headers, "Functionality", device_text);
  add_help_section(c.headers, fmt_title("Hardware %s selection", word), resource_text);
  for (int i = 0; i < 3; i++) c.headers.push_back("");
  if (c.headers.size() > static_cast<size_t>(HELP_LINES)) c.headers.resize(HELP_LINES);
  c.buttons.push_back({"  Ok  ", ASK_USE_ITEM});
  asker.choose(c);
}

void ask_download_file(Allocation &a, int card, int force) {
  ConfiguredCard &cc = a.model.cards.cards[card];
  const HwdbNode *node = hwdb_node(a.db, cc.node);
  std::string path(field_text(cc.download_path));
  std::string too_long;  // an entered path that the card cannot hold
  for (;;) {
    a.model.resources.asking.who = {card, -1};
    a.model.resources.asking.res = nullptr;
    std::string message, input;
    int err = 0;
    if (!too_long.empty()) {
      appendf(message, "%s: %s\n\n", too_long.c_str(), std::strerror(ENAMETOOLONG));
      input = too_long;
    } else if (!path.empty()) {
      bool exists = file_exists(path, &err);
      if (exists && !force) return;
      if (!exists) appendf(message, "%s: %s\n\n", path.c_str(), std::strerror(err));
      input = path;
    }
    force = 0;
    const char *hint = node ? hwdb_text(a.db, node->dnld_hint) : nullptr;
    if (hint) {
      message += hint;
      message += '\n';
    } else {
      message += "A download file is required for this device.\n"
                 "This file is usually distributed with the device.\n"
                 "Please contact your device's manufacturer in case it's missing\n";
    }
    appendf(message, "\nThe default filename (%s) was not found\n", path.c_str());
    message += "Enter proper path to the file: ";
    if (!a.asker.enter_text(message, input, DOWNLOAD_INPUT_BOUND)) return;
    if (!input.empty() && input.back() == '\n') input.pop_back();
    if (input.size() >= sizeof cc.download_path) {
      too_long = input;
      continue;
    }
    too_long.clear();
    copy_field(cc.download_path, input);
    path = input;
    if (file_exists(path, &err)) return;
  }
}

}  // namespace kvl
