// kvlcfg: the card configuration checked, reported and changed without a
// terminal. A second front end on the configurator's model, allocator,
// reader, writer, lock and saves: every question the allocation asks is
// answered here by a recording asker that answers for nobody, and a change
// is saved only when no question was left open.
//
// Each command is a function of a Session and returns the exit status: 0
// success, 1 the check found problems or the change was refused, 2 bad
// usage or nothing could be read.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cardcfg/allocate.h"
#include "cardcfg/devices_cfg.h"
#include "cardcfg/model.h"
#include "common/asker.h"
#include "control/control.h"
#include "hwdb/hwdb.h"

namespace kvl {

constexpr int KVLCFG_OK = 0;
constexpr int KVLCFG_PROBLEMS = 1;
constexpr int KVLCFG_USAGE = 2;

// The command line: kvlcfg [-d DIR] COMMAND [ARGS] [--json] [--no-act] [--force].
struct KvlcfgOptions {
  std::string dir;  // empty: the installation named by /etc/kvl.conf
  bool json = false;
  bool no_act = false;
  bool force = false;
  std::string command;
  std::vector<std::string> args;
};

extern const char KVLCFG_USAGE_TEXT[];

// Reads the command line into *opt. Returns 0; 1 after printing the usage or
// the version (exit status 0); -1 after "kvlcfg: ..." and a pointer to
// --help on standard error (exit status 2).
int parse_kvlcfg_args(int argc, char **argv, KvlcfgOptions *opt);

// The program: parses the command line, runs the command, prints the JSON
// document with --json. Returns the exit status.
int kvlcfg_main(int argc, char **argv);

// A question the allocation asked during a pass, with what it was about.
struct Question {
  enum Kind { Choice, Firmware, Notice } kind = Notice;
  DeviceRef who;                       // card -1: not about a card
  const HwdbResource *res = nullptr;   // Choice (and some notices): the resource
  SlotState state;                     // Choice: why the value was asked for
  std::string title;                   // Choice: the dialog's title
  std::vector<AskItem> choices;        // Choice: its selectable lines
  int free_choices = 0;                // Choice: how many of them are free values
  std::string text;                    // Notice: the text; Firmware: "PATH: error" or ""
};

// The asker of kvlcfg: every question is recorded and answered as a person
// who leaves it would (Escape, Cancel), so the pass leaves the value as it
// was. Notices that do not wait are progress and are dropped; so is all
// while recording is off.
class RecordingAsker final : public Asker {
 public:
  RecordingAsker(ConfigModel &model, const HwdbModel &db) : model_(model), db_(db) {}
  bool recording = true;
  std::vector<Question> questions;

  void notice(const std::string &text, bool wait) override;
  AskAnswer choose(const AskChoice &choice) override;
  int enter_text(const std::string &prompt, std::string &text, size_t bound) override;

 private:
  Question about_now();  // the question under way, from the model's note
  ConfigModel &model_;
  const HwdbModel &db_;
};

// One thing found: a problem, or a note that does not count as one.
struct Finding {
  std::string file;   // "etc/devices.cfg", relative to the installation
  int line = 0;       // 0: no line is known
  bool note = false;
  std::string text;
  std::string question;          // the question asked, when there was one
  std::vector<AskItem> choices;  // its choices
};

// Everything one run holds.
struct Session {
  Session();
  ~Session();
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  KvlcfgOptions opt;
  std::unique_ptr<ConfigModel> model;  // large: kept off the stack
  HwdbModel db;
  bool db_loaded = false;
  ControlDevice control;
  std::unique_ptr<RecordingAsker> asker;
  int lock = -1;               // the configurator's lock while held
  bool config_missing = false; // no etc/devices.cfg yet
  std::string config_name = DEVICES_CFG;  // how findings name the file read
  // etc/devices.cfg as read, kept beside it as devices.cfg.old by a save when
  // keep_old is set: the file held lines a save drops or changes (or apply
  // replaces it), which would otherwise be lost.
  std::string text_read;
  bool keep_old = false;
  bool replacing = false;  // apply: the whole file is replaced
  std::unique_ptr<DevicesCfgLines> lines;
  int origin[MAX_CARDS];       // each card's place in the file as read, -1 for a new card
  nlohmann::json out = nlohmann::json::object();  // the --json document
};

// --- session.cpp: the installation, the lock, reading and saving ---

// Where the installation is: -d DIR, else what /etc/kvl.conf names.
// Returns 0, or KVLCFG_USAGE after the reason on standard error.
int locate_installation(Session &s);
// Where the installation is, the control device (optional), the driver
// table from etc/modules.lis, the database, modules.dep and the PCI IRQs.
// Returns 0, or KVLCFG_USAGE after the reason on standard error.
int open_installation(Session &s);
// Reads etc/devices.cfg into the model (no pass). A missing file is a first
// configuration (IRQs 3 and 4 and DMA 2 excluded, as the configurator does).
// Returns 0, or KVLCFG_USAGE after "PATH: error text".
int read_configuration(Session &s);
// Takes the configurator's lock ("Another configurator is running (pid N)"
// and KVLCFG_PROBLEMS when it is held); with --no-act only looks whether it
// is held. Returns 0 or KVLCFG_PROBLEMS.
int take_config_lock(Session &s);
// The end of every change of devices.cfg: the full pass, then the
// configurator's paired save unless a problem was found (lines the reader
// could not use, a question left open, an unreadable firmware file) and
// --force is not given; with forget, etc/dspdevs.map is deleted after the
// save; the status word becomes AUDSET_OK. With --no-act the files are
// printed instead. Returns the exit status.
int finish_change(Session &s, bool forget);
// Saves text as DIR/REL (atomically) with the same rules; for options.cfg.
int finish_file_change(Session &s, const char *rel, const std::string &text);

// Says why a command is refused ("kvlcfg: WHY" on standard error, or in the
// JSON document) and returns KVLCFG_PROBLEMS; usage_refusal the same with
// KVLCFG_USAGE.
int refusal(Session &s, const std::string &why);
int usage_refusal(Session &s, const std::string &why);

// "card N KEY": how messages name the card at index card.
std::string card_label(const Session &s, int card);
// The index of the card a word names: a position (1 ..) or a card key that
// names one card. Returns 0, or KVLCFG_USAGE after saying why.
int find_card(Session &s, const std::string &word, int *card);
// The index of the card's device named name whose resources are allocated
// here. Returns 0, or KVLCFG_USAGE after saying why.
int find_device(Session &s, int card, const std::string &name, int *device);

// --- findings.cpp ---

// What reading and the last pass found in devices.cfg: the lines the reader
// could not use, the questions asked, firmware files that cannot be read.
std::vector<Finding> devices_findings(const Session &s);
// The disabled devices, as notes.
std::vector<Finding> disabled_notes(const Session &s);
// The line of devices.cfg that the card's device (device -1: the card, -2:
// its firmware) stands on; 0 for a card that is not in the file.
int config_line(const Session &s, int card, int device);
// Prints each finding on standard error ("FILE:LINE: text", notes with
// "note: "), with the question and its choices when with_choices.
void print_findings(const std::vector<Finding> &findings, bool with_choices);
nlohmann::json findings_json(const std::vector<Finding> &findings);
int problem_count(const std::vector<Finding> &findings);

// --- the commands ---
int cmd_check(Session &s);
int cmd_list(Session &s);
int cmd_dump(Session &s);
int cmd_add(Session &s);
int cmd_remove(Session &s);
int cmd_move(Session &s);
int cmd_enable(Session &s, bool on);
int cmd_set(Session &s);
int cmd_secure(Session &s);
int cmd_option(Session &s);
int cmd_detect(Session &s);
int cmd_apply(Session &s);
int cmd_status(Session &s);

// --- driver_cards.cpp: what the driver holds against the configuration ---

// One card the driver reports (Get card info).
struct DriverCard {
  int key = 0;
  std::string driver;  // the name of its driver, "<unknown>" when the table lacks the key
  int port = 0, irq = 0, dma1 = -1, dma2 = -1;
  bool initialized = false;
  int claimed = -1;    // index of the expectation that claimed it
};

// One card the configuration makes start-up add, or the driver bring up.
struct ExpectedCard {
  int card = -1;    // index in the card list
  int device = -1;  // the device that adds it; -1 for the card as a whole (PCI, plug-and-play bus)
  std::string driver;
  int port = -1;    // -1: any (the bus sets it)
  bool pnp_bus = false;  // the plug-and-play bus card that every ISA PnP card needs
  int found = -1;   // index of the driver card it matched, -1 when none
};

struct DriverView {
  bool open = false;     // /dev/mixer0 answered
  int status = 0;        // Get status: 1 once the cards are activated
  std::vector<DriverCard> cards;
  std::vector<ExpectedCard> expected;
  int audio_count = 0, mixer_count = 0;  // KVL_SYSINFO
};

// Reads what the driver holds (nothing when there is none) and matches it
// against the model's cards. Returns 0, or -1 after a failed request.
int read_driver_view(Session &s, DriverView *view);
// The state of one configured card against the view: "up", "failed", "not
// started" (not in the driver) or "off" (nothing of it starts).
std::string card_state(const DriverView &view, int card);

// --- install_dir.cpp ---

// The installation directory that /etc/kvl.conf names. Returns 0, or -1
// with the line to print in *error.
int default_install_dir(std::string *dir, std::string *error);

}  // namespace kvl
