// etc/devices.cfg and etc/modules.cfg: the configurator's reader and writer
// of the card configuration.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cardcfg/cardlist.h"
#include "cardcfg/modules.h"

namespace kvl {

// The two files under the installation directory. Start-up reads the text of
// devices.cfg on standard input and names it so in its messages.
constexpr const char *DEVICES_CFG = "etc/devices.cfg";
constexpr const char *MODULES_CFG = "etc/modules.cfg";

struct ConfigModel;
struct HwdbModel;
class Asker;

// Where the parts of a devices.cfg text stand (line numbers from 1; 0 for
// none), for messages that name a line, and the lines the reader could not use.
struct DevicesCfgLines {
  int card[MAX_CARDS] = {};                      // each card's "-" line
  int device[MAX_CARDS][MAX_CARD_DEVICES] = {};  // the last line that named the device
  int download[MAX_CARDS] = {};                  // the line of the card's "$" word
  struct Skipped {
    int line;
    std::string text;  // "Card 'NAME' not found in database", "Too many devices",
                       // "line contains a NUL byte"
  };
  std::vector<Skipped> skipped;  // in file order
};

// Reads devices.cfg text into the model's cards and settings and clears the
// first-configuration flag. Unknown cards are reported on standard error and
// skipped (their device lines go to the card before); so are lines with a
// NUL byte ("etc/devices.cfg: line N contains a NUL byte"), and the device
// lines after such a card line are dropped with it; numbers that do not
// parse leave their field unchanged. With lines, where each part stands is
// noted there, and the card lines and NUL lines that are skipped are noted
// instead of said. Returns the number of card lines that added no card and
// lines with a NUL byte.
int parse_devices_cfg(ConfigModel &model, const HwdbModel &db, Asker &asker, std::string_view text,
                      DevicesCfgLines *lines = nullptr);

// Applies one device line given by a person (words[0] the device's name,
// then its words, as a devices.cfg device line has them) to card, as the
// reader applies it, and refuses what the reader would pass over: a device
// the card does not have, a word that is not ON, OFF, OPNP, P<hex>, I<n>,
// i<n>, D<n>, d<n> or "$WORD FILE" (the firmware file), a number that does
// not parse, a value for a slot the device has none of. Returns 0, or -1
// with why saying which word and why (the card may then be half changed).
int apply_device_words(const HwdbModel &db, ConfiguredCard &card,
                       const std::vector<std::string_view> &words, std::string *why);

// Reads the devices.cfg at path, then rebuilds the resource tables; the text
// read goes to *text_read when given. Returns what parse_devices_cfg
// returns; -1 with errno set when the file cannot be read, after "No earlier
// configuration detected" on standard error for a missing file and "PATH:
// error text" for any other error (nothing changed).
int read_devices_cfg(ConfigModel &model, const HwdbModel &db, Asker &asker, const char *path,
                     std::string *text_read = nullptr);

// The texts of a saved configuration.
struct DeviceConfigText {
  std::string devices;          // etc/devices.cfg
  std::string modules;          // etc/modules.cfg
  bool devices_disabled = false;  // a device was written OFF
};

// Builds the texts of devices.cfg and modules.cfg from the model, which it
// does not change. Returns 0, or -1 with why holding the reason: an unknown
// download type in the database, or more modules than modules.cfg may hold.
int format_device_config(const ConfigModel &model, const HwdbModel &db, DeviceConfigText *out,
                         std::string *why);

// Saves the model: devices.cfg, then modules.cfg, each replaced atomically.
// Returns 0, or -1 with why holding the reason ("PATH: error text" or the
// format's); a file not yet replaced keeps its old content. Nothing is
// printed. When a device was written OFF, tells the user through asker.
int write_device_config(const ConfigModel &model, const HwdbModel &db, Asker &asker,
                        const char *devices_path, const char *modules_path, std::string *why);

// What the writer builds while it goes through the cards.
struct ConfigWriter {
  ConfigWriter(const ConfigModel &m, const HwdbModel &d) : model(m), db(d) {}
  const ConfigModel &model;
  const HwdbModel &db;
  std::string out;               // devices.cfg text
  ModuleList modules;            // modules to load, in load order
  bool modules_overflow = false;
  bool devices_disabled = false;
};

// Appends the device lines of a card (and its "#NEEDS_" lines) and adds the
// module of every device to the module list.
void write_device_lines(ConfigWriter &w, const ConfiguredCard &card);

}  // namespace kvl
