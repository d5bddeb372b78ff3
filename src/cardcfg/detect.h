// The configurator's card detection: plug-and-play and PCI cards named by the
// driver, and older ISA cards found by their drivers' probes. Found cards are
// appended to the model's card list; notes go through the Asker; failed
// driver requests are printed on standard error with their labels.
//
// What the driver sends back is read as bytes: the readers below take the
// record's bytes and their length and never look past them, whether the
// driver ended its text with a NUL or not and whatever count it reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvl {

struct ConfigModel;
struct HwdbModel;
struct ControlDevice;
class Asker;

// Replaces the card list with the plug-and-play and PCI cards the driver
// reports, sets model.detect.autodetect_done and writes logs/pnpres.dat
// (unless model.detect.keep_files, as etc/dspdevs.map is then kept too).
void detect_pnp_cards(ConfigModel &model, const HwdbModel &db, Asker &asker,
                      const ControlDevice &control);

// Writes model.detect.pnpres, the text of the last detection, to
// DIR/logs/pnpres.dat. Returns 0, or -1 after "PATH: error text" on standard
// error.
int save_pnp_resources(const ConfigModel &model);

// Asks every card-level driver to probe for ISA cards without plug and play
// and appends each card found; does nothing once a plug-and-play card was seen.
void autodetect_isa_cards(ConfigModel &model, const HwdbModel &db, Asker &asker,
                          const ControlDevice &control);

// Card numbers asked for with "PnP cardinfo" (and "PnP resources") run from
// 0 up to this one at most, so a driver that never refuses cannot hang the
// configurator.
constexpr int PNP_LAST_CARD_NUMBER = 255;

// The highest I/O port a probe's reply may name; a larger number is no port.
constexpr int ISA_PORT_MAX = 0xffff;

// The text of a driver's reply: bytes up to the first NUL, at most length.
std::string_view reply_text(const unsigned char *bytes, size_t length);

// One line of an ISA probe's reply.
struct DetectLine {
  std::string_view name;  // up to the first blank (a view into the reply); may be empty
  int port;               // the rest as hex; 0 when missing, no number or above ISA_PORT_MAX
};

// Takes the next line off the front of reply (a reply_text) into *line.
// Returns 1, or 0 when reply is empty. The port skips leading blanks and
// reads the hex digits that follow (an "0x" before them is allowed); what
// comes after them is ignored.
int next_detect_line(std::string_view &reply, DetectLine *line);

// The text name of a "PnP cardinfo" record: at most two words separated by
// one blank, read from the name field's bytes (length of them at most).
struct PnpCardName {
  std::string_view first;   // up to the first blank
  std::string_view second;  // after it, up to the next blank; empty when none
};
PnpCardName read_pnp_card_name(const char *bytes, size_t length);

// The card-name table key under which a detected card is added, or "" when
// the card is unknown. A plug-and-play card (id not -1) is named by its
// identifier's text; any other card by the first word of its text name,
// which its second word, or that word with a leading "PCI" read as "SUB",
// replaces when the table knows it (the last of them that it knows wins).
std::string detected_card_name(const HwdbModel &db, int32_t id, const PnpCardName &text);

// The IRQ bit of irq in a 32-bit IRQ mask: 0 for anything but 1..31.
uint32_t irq_mask_bit(int irq);

// Appends card's section of logs/pnpres.dat: the heading with the
// identifier read from the dump's first four bytes, then the dump's bytes
// ("%02x " each, "\n%04x: " before every sixteenth from the first) and two
// newlines. count is what the driver put in the record; only
// 0..size bytes of data are read.
void append_pnp_resources(std::string &out, int card, int32_t count, const unsigned char *data,
                          size_t size);

// Appends the sharing warning of logs/pnpres.dat for a non-zero shared-IRQ
// mask, listing the IRQs 3..15 in it.
void append_sharing_warning(std::string &out, uint32_t shared_irq_mask);

}  // namespace kvl
