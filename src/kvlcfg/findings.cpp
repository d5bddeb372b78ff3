// What reading and the resource pass found in devices.cfg, said as lines
// that name the file and the line, as a compiler names them.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cardcfg/resources.h"
#include "common/text.h"
#include "kvlcfg/kvlcfg.h"
#include "sys/sys.h"

namespace kvl {

namespace {

std::string device_name(const Session &s, int card, int device) {
  const HwdbNode *n = hwdb_node(s.db, s.model->cards.cards[card].devices[device].node);
  return n ? std::string(field_text(n->name)) : "?";
}

std::string who_label(const Session &s, DeviceRef who) {
  if (who.card < 0 || who.card >= s.model->cards.count) return "";
  std::string label = card_label(s, who.card);
  if (who.device >= 0) label += ", device " + device_name(s, who.card, who.device);
  return label;
}

// "I/O port", "IRQ", "second IRQ", "DMA channel", "second DMA channel".
std::string resource_name(const HwdbResource &res) {
  std::string second = res.num == 2 ? "second " : "";
  if (res.restype == RES_IO) return "I/O port";
  if (res.restype == RES_IRQ) return second + "IRQ";
  return second + "DMA channel";
}

std::string value_text(const HwdbResource &res, int v) {
  std::string out;
  appendf(out, res.restype == RES_IO ? "%x" : "%d", v);
  return out;
}

std::string holder_phrase(const Session &s, const HwdbResource &res, const SlotState &st) {
  if (st.holder == HOLDER_DISABLED)
    return res.restype == RES_IRQ ? "is excluded (/IRQEXCLUDE)" : "is excluded (/DMAEXCLUDE)";
  if (st.holder == HOLDER_PCI) return "is used by a PCI device";
  if (st.holder_device.card >= 0) return "is taken by " + who_label(s, st.holder_device);
  if (st.holder == "System") return "is taken by the system";
  return "is taken by " + st.holder;
}

// Why a selection dialog was opened: what is wrong with the slot's value.
std::string slot_text(const Session &s, const Question &q) {
  const HwdbResource &res = *q.res;
  const SlotState &st = q.state;
  std::string what = resource_name(res);
  std::string v = value_text(res, st.value);
  switch (st.problem) {
    case SlotProblem::Unassigned: return what + " has no value";
    case SlotProblem::NotAllowed:
      return what + " " + v + " is not one the database allows (" + allowed_values_text(res) + ")";
    case SlotProblem::Taken: return what + " " + v + " " + holder_phrase(s, res, st);
    case SlotProblem::TakenOver:
      return what + " " + v + " was taken by " + who_label(s, st.holder_device) +
             ", whose value is fixed";
    case SlotProblem::None: break;
  }
  return what + " " + v + " is asked for";
}

Finding question_finding(const Session &s, const Question &q) {
  Finding f;
  f.file = s.config_name;
  std::string who = who_label(s, q.who);
  if (q.who.card >= 0) f.line = config_line(s, q.who.card, q.kind == Question::Firmware ? -2 : q.who.device);
  if (q.kind == Question::Choice && q.res && q.who.card >= 0) {
    f.text = who + ": " + slot_text(s, q);
    if (q.free_choices == 0) f.text += "; no value is free";
  } else if (q.kind == Question::Choice) {
    f.text = q.title;
  } else if (q.kind == Question::Firmware) {
    f.text = who + ": " + (q.text.empty() ? "no firmware file is set" : "firmware file " + q.text);
  } else {
    f.text = who.empty() ? q.text : who + ": " + q.text;
  }
  f.question = q.title;
  f.choices = q.choices;
  return f;
}

bool firmware_asked(const Session &s, int card) {
  for (const Question &q : s.asker->questions)
    if (q.kind == Question::Firmware && q.who.card == card) return true;
  return false;
}

// A firmware file that exists but cannot be read whole (a folder, no
// permission): "PATH: error text"; "" when it reads.
std::string unreadable(const std::string &path) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return path + ": " + std::strerror(errno);
  char buf[4096];
  while (std::fread(buf, 1, sizeof buf, f) == sizeof buf) {
  }
  int err = std::ferror(f) ? errno : 0;
  std::fclose(f);
  return err ? path + ": " + std::strerror(err) : "";
}

}  // namespace

int config_line(const Session &s, int card, int device) {
  int o = card >= 0 && card < MAX_CARDS ? s.origin[card] : -1;
  if (o < 0 || o >= MAX_CARDS) return 0;
  const DevicesCfgLines &l = *s.lines;
  if (device >= 0 && device < MAX_CARD_DEVICES && l.device[o][device]) return l.device[o][device];
  if (device == -2 && l.download[o]) return l.download[o];
  return l.card[o];
}

std::vector<Finding> devices_findings(const Session &s) {
  std::vector<Finding> out;
  for (const DevicesCfgLines::Skipped &k : s.lines->skipped)
    out.push_back({s.config_name, k.line, false, k.text + " (the line is not used)", "", {}});
  for (const Question &q : s.asker->questions) out.push_back(question_finding(s, q));
  const CardList &cards = s.model->cards;
  for (int c = 0; c < cards.count; c++) {
    const HwdbNode *node = hwdb_node(s.db, cards.cards[c].node);
    std::string path(field_text(cards.cards[c].download_path));
    struct stat st;
    if (!node || node->dnld == 0 || path.empty() || firmware_asked(s, c)) continue;
    if (sys_stat(path.c_str(), &st) < 0) continue;  // the pass asked for it
    std::string why = unreadable(path);
    if (!why.empty())
      out.push_back({s.config_name, config_line(s, c, -2), false,
                     card_label(s, c) + ": firmware file " + why, "", {}});
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const Finding &a, const Finding &b) { return a.line < b.line; });
  return out;
}

std::vector<Finding> disabled_notes(const Session &s) {
  std::vector<Finding> out;
  const CardList &cards = s.model->cards;
  for (int c = 0; c < cards.count; c++) {
    const ConfiguredCard &cc = cards.cards[c];
    const HwdbNode *cn = hwdb_node(s.db, cc.node);
    if (!cn || (cn->opt & OPT_NO_ALLOC)) continue;
    for (int d = 0; d < cc.device_count && d < MAX_CARD_DEVICES; d++) {
      const HwdbNode *dn = hwdb_node(s.db, cc.devices[d].node);
      if (!dn || (dn->opt & (OPT_NO_ALLOC | OPT_PNP)) || cc.devices[d].enabled) continue;
      out.push_back({s.config_name, config_line(s, c, d), true,
                     who_label(s, {c, d}) + " is disabled", "", {}});
    }
  }
  return out;
}

int problem_count(const std::vector<Finding> &findings) {
  int n = 0;
  for (const Finding &f : findings) n += !f.note;
  return n;
}

void print_findings(const std::vector<Finding> &findings, bool with_choices) {
  for (const Finding &f : findings) {
    std::string where = f.file + (f.line > 0 ? ":" + std::to_string(f.line) : "") + ": ";
    std::fprintf(stderr, "%s%s%s\n", where.c_str(), f.note ? "note: " : "", f.text.c_str());
    if (!with_choices || f.question.empty()) continue;
    std::fprintf(stderr, "    %s:\n", f.question.c_str());
    for (const AskItem &c : f.choices) std::fprintf(stderr, "      %s\n", c.text.c_str());
  }
}

nlohmann::json findings_json(const std::vector<Finding> &findings) {
  nlohmann::json out = nlohmann::json::array();
  for (const Finding &f : findings) {
    nlohmann::json j = {{"file", f.file}, {"text", f.text}, {"note", f.note}};
    j["line"] = f.line > 0 ? nlohmann::json(f.line) : nlohmann::json();
    if (!f.question.empty()) {
      j["question"] = f.question;
      nlohmann::json choices = nlohmann::json::array();
      for (const AskItem &c : f.choices) choices.push_back({{"value", c.code}, {"text", c.text}});
      j["choices"] = choices;
    }
    out.push_back(j);
  }
  return out;
}

}  // namespace kvl
