// The simulated machine (DIR/machine.json): the driver's identity and lists,
// the hardware present, firmware needs, the devices each card brings, faults.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kvl {

// Limits a machine must keep; a machine beyond them is refused as damaged.
constexpr int SIM_MAX_DRIVERS = 200;
constexpr int SIM_MAX_CARDS = 32;      // entries of each of isa, pnp, pci
constexpr int SIM_MAX_DEVICES = 64;    // audio devices, mixers or synths of one entry
constexpr int SIM_MAX_FAULTS = 64;
constexpr int SIM_MAX_PNP_BYTES = 3996;

struct SimAudio {
  std::string name;
  int channels = 2;
  bool ac3 = false;
};

// What a card brings when it initialises.
struct SimDevices {
  std::vector<SimAudio> audio;
  std::vector<std::string> mixers;
  std::vector<std::string> synths;
};

struct SimDriver {
  std::string name;
  int key = 0;
  std::string description;
};

struct SimIsaCard {     // non-plug-and-play ISA card found by its driver's probe
  std::string card;     // card name in the hardware database
  std::string driver;
  int port = 0;
  int irq = 0;
  int dma = -1;
  int dma2 = -1;
  bool has_reply = false;  // reply: the probe's line for this card instead of "CARD PORT"
  std::string reply;
  SimDevices devices;
};

struct SimPnpCard {     // ISA plug-and-play card
  std::string id;       // seven-character identifier, e.g. CTL0044
  std::string name;
  int irq = 0;
  std::vector<unsigned char> resources;
  SimDevices devices;
};

struct SimPciCard {
  std::string name;     // one or two words
  std::string driver;
  int irq = 0;
  SimDevices devices;
};

// A fault to inject: a request (label or name) or the opening of a path fails
// with err, always (nth 0) or on the nth matching call only.
struct SimFault {
  std::string request;
  std::string open;
  int err = 0;
  int nth = 0;
};

struct Machine {
  int version = 0x039999;
  int major = 14;
  int driver_slots = -1;  // -1: the number of drivers
  std::vector<SimDriver> drivers;
  std::vector<SimIsaCard> isa;
  std::vector<SimPnpCard> pnp;
  std::vector<SimPciCard> pci;
  std::map<std::string, int> firmware;  // download target -> image size
  std::vector<std::string> synths;      // offered by the sequencer while loaded
  std::vector<SimFault> faults;
};

// Parses machine.json text. Returns 0, or -1 with a one-line reason in err.
int machine_parse(const std::string &text, Machine &m, std::string &err);

// Loads DIR/machine.json. Returns 0, or -1 with err naming the file and the
// reason.
int machine_load(const std::string &root, Machine &m, std::string &err);

// The same without a copy: the machine this process last read, parsed again
// only when machine.json was replaced or edited (its identity, size or time
// changed). Valid until the next call; nullptr with err set on failure.
const Machine *machine_cached(const std::string &root, std::string &err);

// The built-in demo machine's JSON text.
const char *demo_machine_json();

// Index of the driver with that type key or name, or -1.
int machine_driver_by_key(const Machine &m, int key);
int machine_driver_by_name(const Machine &m, const std::string &name);

// The 32-bit form of a seven-character plug-and-play identifier (0 when the
// length is not seven), and the identifier text of a 32-bit form.
int pnp_id_number(const std::string &text);
std::string pnp_id_text(int id);

}  // namespace kvl
