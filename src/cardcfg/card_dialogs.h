// The card-list dialogs of the configurator: add a card from the database,
// show what the database says about a card, remove a card, reorder the
// cards. They ask only through the Asker.
#pragma once

#include <string>
#include <vector>

namespace kvl {

struct ConfigModel;
struct HwdbMenu;
struct HwdbModel;
class Asker;

// Whether a card-name row may be added by hand: plug-and-play cards (opt
// 0x08) and those found only on the PCI bus (opt 0x100) are not, unless no
// driver answers to find them.
bool offered_for_adding(const HwdbModel &db, const HwdbMenu &row, bool no_driver);

// Lets the user pick a card from the database and adds it, asking for its
// firmware file and resources. Plug-and-play and PCI cards are offered only
// when no driver answers (the driver finds them itself). Returns 1 when a
// card was added, else 0.
int add_card_dialog(ConfigModel &model, const HwdbModel &db, Asker &asker, bool no_driver);

// The information window of the card-name row with key name; an unknown
// name gives "Error: Card 'NAME' not found in database" on standard error.
void show_card_info(const ConfigModel &model, const HwdbModel &db, Asker &asker,
                    const char *name);

// Lets the user take one card out of the list; then forgets the routing and
// runs the resource pass.
void remove_card_dialog(ConfigModel &model, const HwdbModel &db, Asker &asker);

// Lets the user move cards up and down; " OK " applies the new order and
// forgets the routing, " Cancel " and Escape leave the list as it was.
void reorder_cards_dialog(ConfigModel &model, const HwdbModel &db, Asker &asker);

// The help file a database text names: "README." followed by letters and
// digits, or "" when it names none.
std::string help_file_name(const std::string &text);

// The lines of help file name under DIR/docs, line ends removed, each cut to
// 254 characters; none when the file cannot be read.
std::vector<std::string> help_file_lines(const std::string &dir, const std::string &name);

}  // namespace kvl
