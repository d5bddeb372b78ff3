// Driver control interface: request codes and the records they carry.
//
// A request code packs: bits 0..7 the number, bits 8..15 the group letter,
// bits 16..28 the record size in bytes, bit 29 "record read back from the
// driver", bit 30 "record sent to the driver". Records are little-endian with
// 32-bit ints; every layout below is checked for size and field offsets, and
// every request code is checked against the size of the record it carries.
#pragma once

#include "driver/seqcodes.h"

#include <cstddef>
#include <cstdint>

namespace kvl {

constexpr uint32_t IOC_OUT = 0x20000000u;  // record read back from the driver
constexpr uint32_t IOC_IN = 0x40000000u;   // record sent to the driver

constexpr uint32_t ioc_size(uint32_t code) { return (code >> 16) & 0x1fffu; }
constexpr uint32_t ioc_group(uint32_t code) { return (code >> 8) & 0xffu; }
constexpr uint32_t ioc_number(uint32_t code) { return code & 0xffu; }
constexpr bool ioc_reads(uint32_t code) { return (code & IOC_OUT) != 0; }
constexpr bool ioc_writes(uint32_t code) { return (code & IOC_IN) != 0; }

// Requests on the control device /dev/mixer0.
constexpr uint32_t CTL_GET_VERSION = 0x20046301u;
constexpr uint32_t CTL_GET_NDRIVERS = 0x20046302u;
constexpr uint32_t CTL_GET_DRIVERS = 0x30006303u;
constexpr uint32_t CTL_GET_NCARDS = 0x20046304u;
constexpr uint32_t CTL_GET_CARD_INFO = 0x60306305u;
constexpr uint32_t CTL_ACTIVATE = 0x40046306u;
constexpr uint32_t CTL_GET_STATUS = 0x20046307u;
constexpr uint32_t CTL_GET_DRIVER_TYPES = 0x24b06308u;
constexpr uint32_t CTL_ADD_CARD = 0x404c6309u;
constexpr uint32_t CTL_CARD_COMMAND = 0x6fb8630au;
constexpr uint32_t CTL_GET_DRIVERS_LONG = 0x3000630bu;
constexpr uint32_t CTL_PNP_DETECT = 0x2004630cu;
constexpr uint32_t CTL_PNP_CARD_INFO = 0x6064630du;
constexpr uint32_t CTL_PNP_RESOURCES = 0x6fa4630eu;
constexpr uint32_t CTL_PNP_END = 0x0000630fu;
constexpr uint32_t CTL_PNP_RESTART = 0x00006310u;
constexpr uint32_t CTL_GET_PCI_IRQS = 0x20046311u;
constexpr uint32_t CTL_PNP_SET_PORT = 0x4004631fu;
constexpr uint32_t CTL_SET_PNP_DEVICE = 0x60746320u;
constexpr uint32_t CTL_SET_OPTION = 0x40086321u;
constexpr uint32_t CTL_CARD_HEADER = 0x40906325u;
constexpr uint32_t MIXER_SETLEVELS = 0x60a44d75u;
constexpr uint32_t KVL_SYSINFO = 0x24e05801u;
constexpr uint32_t SNDCTL_AUDIOINFO = 0x649c5807u;
constexpr uint32_t CTL_GET_REROUTE = 0x604858c8u;
constexpr uint32_t CTL_SET_REROUTE = 0x404858c8u;

// Requests on /dev/sequencer.
constexpr uint32_t SNDCTL_SEQ_NRSYNTHS = KVL_SEQ_NRSYNTHS;
constexpr uint32_t SNDCTL_SYNTH_INFO = KVL_SEQ_SYNTH_INFO;

constexpr int DRIVER_VERSION = 0x039999;

// Sizes of the buffers of the list requests.
constexpr int DRIVER_LIST_BYTES = 4096;
constexpr int DRIVER_TYPE_SLOTS = 300;

// Card command codes (CardCommandRecord::command).
constexpr int CMD_DOWNLOAD = 1;
constexpr int CMD_DETECT = 2;
constexpr int CMD_MIXMAP = 3;
constexpr int CMD_PARM = 4;

struct CardInfo {        // Get card info: index in, description out
  int32_t key;           // type key of the card's driver; 0 = no such card
  int32_t port;
  int32_t irq;
  int32_t dma1;
  int32_t dma2;
  int32_t unused[6];
  int32_t initialized;   // 0 = the card failed to initialise
};

struct CardHeaderRecord {
  char description[128];
  char name[16];
};

struct CardConfigRecord {
  int32_t key;
  char name[32];
  int32_t port;
  int32_t irq;
  int32_t dma1;
  int32_t dma2;
  int32_t spare[6];
};

constexpr int CARD_COMMAND_PAYLOAD = 4000;
struct CardCommandRecord {
  char name[20];
  int32_t command;
  unsigned char payload[CARD_COMMAND_PAYLOAD];
};

// The payload of a CMD_DOWNLOAD card command.
constexpr int DOWNLOAD_CHUNK = 2048;
struct DownloadPayload {
  int32_t first;
  int32_t last;
  int32_t total;
  int32_t length;
  int32_t offset;
  unsigned char data[CARD_COMMAND_PAYLOAD - 20];
};

struct OptionRequest {
  int32_t id;
  int32_t value;
};

constexpr int MIXER_LEVEL_COUNT = 32;  // the levels of one mixer
struct MixerLevels {
  int32_t number;
  char name[32];
  int32_t levels[MIXER_LEVEL_COUNT];
};

constexpr int ROUTING_MAX_DEVICES = 64;  // the devices of one routing list
struct RoutingRecord {
  int32_t mode;          // 1 input, 2 output, 3 duplex
  int32_t count;
  uint8_t devices[ROUTING_MAX_DEVICES];
};

constexpr int PNP_MAX_RES = 8;
struct PnpDeviceRecord {
  int32_t id;            // compressed EISA identifier of the logical device
  int32_t nports;
  int32_t ports[PNP_MAX_RES];
  int32_t nirqs;
  int32_t irqs[PNP_MAX_RES];
  int32_t ndmas;
  int32_t dmas[PNP_MAX_RES];
  int32_t trailing;
};

struct PnpCardInfo {
  int32_t id;            // card number in; 32-bit identifier out, -1 = not ISA PnP
  int32_t reserved[7];
  char name[64];         // text name of a card that is not ISA PnP
  int32_t irq;           // low byte: the card's IRQ, 0 = none
};

struct PnpResourceDump {
  int32_t count;         // card number in; number of data bytes out
  unsigned char data[4000];
};

// Audio devices 0..15 have the nodes /dev/dspN, /dev/audioN and /dev/dspWN;
// the driver's further audio devices (a SysInfo numaudios above this) have
// /dev/dsp16../dev/dsp63 only.
constexpr int NAMED_AUDIO_DEVICES = 16;

struct SysInfo {
  char product[32];
  char version[32];
  int32_t versionnum;
  unsigned char reserved1[196 - 68];
  int32_t numaudios;     // number of audio devices
  int32_t numsynths;
  int32_t nummidis;
  int32_t numtimers;
  int32_t nummixers;
  int32_t numcards;
  unsigned char reserved2[1248 - 220];
};

struct AudioInfo {
  int32_t dev;           // device number, set by the caller
  char name[64];
  int32_t busy;
  int32_t pid;
  int32_t caps;
  int32_t iformats;
  int32_t oformats;      // bit 0x400: the device plays AC3
  unsigned char reserved1[192 - 88];
  int32_t max_channels;
  unsigned char reserved2[1180 - 196];
};
constexpr int32_t AFMT_AC3 = 0x400;

struct SynthInfo {
  char name[KVL_SYNTH_NAME_BYTES];
  int32_t device;
  unsigned char reserved[KVL_SYNTH_INFO_BYTES - KVL_SYNTH_INFO_DEVICE - 4];
};

// Layout checks: sizes and the offsets the callers rely on.
static_assert(sizeof(CardInfo) == 48 && offsetof(CardInfo, dma2) == 16 &&
              offsetof(CardInfo, initialized) == 44);
static_assert(sizeof(CardHeaderRecord) == 144 && offsetof(CardHeaderRecord, name) == 128);
static_assert(sizeof(CardConfigRecord) == 76 && offsetof(CardConfigRecord, name) == 4 &&
              offsetof(CardConfigRecord, port) == 36 && offsetof(CardConfigRecord, irq) == 40 &&
              offsetof(CardConfigRecord, dma1) == 44 && offsetof(CardConfigRecord, dma2) == 48 &&
              offsetof(CardConfigRecord, spare) == 52);
static_assert(sizeof(CardCommandRecord) == 4024 && offsetof(CardCommandRecord, command) == 20 &&
              offsetof(CardCommandRecord, payload) == 24);
static_assert(sizeof(DownloadPayload) == CARD_COMMAND_PAYLOAD &&
              offsetof(CardCommandRecord, payload) + offsetof(DownloadPayload, first) == 24 &&
              offsetof(CardCommandRecord, payload) + offsetof(DownloadPayload, offset) == 40 &&
              offsetof(CardCommandRecord, payload) + offsetof(DownloadPayload, data) == 44);
static_assert(sizeof(DownloadPayload::data) >= DOWNLOAD_CHUNK);
static_assert(sizeof(OptionRequest) == 8);
static_assert(sizeof(MixerLevels) == 164 && offsetof(MixerLevels, name) == 4 &&
              offsetof(MixerLevels, levels) == 36);
static_assert(sizeof(RoutingRecord) == 72 && offsetof(RoutingRecord, devices) == 8);
static_assert(sizeof(PnpDeviceRecord) == 116 && offsetof(PnpDeviceRecord, nirqs) == 40 &&
              offsetof(PnpDeviceRecord, ndmas) == 76 && offsetof(PnpDeviceRecord, trailing) == 112);
static_assert(sizeof(PnpCardInfo) == 100 && offsetof(PnpCardInfo, name) == 32 &&
              offsetof(PnpCardInfo, irq) == 96);
static_assert(sizeof(PnpResourceDump) == 4004 && offsetof(PnpResourceDump, data) == 4);
static_assert(sizeof(SysInfo) == 1248 && offsetof(SysInfo, numaudios) == 196);
static_assert(sizeof(AudioInfo) == 1180 && offsetof(AudioInfo, name) == 4 &&
              offsetof(AudioInfo, oformats) == 84 && offsetof(AudioInfo, max_channels) == 192);
static_assert(sizeof(SynthInfo) == 140 && offsetof(SynthInfo, device) == KVL_SYNTH_INFO_DEVICE);

// Each request code against its record: size bits and direction bits.
template <typename Record>
constexpr bool carries(uint32_t code, bool in, bool out) {
  return ioc_size(code) == sizeof(Record) && ioc_writes(code) == in && ioc_reads(code) == out;
}
static_assert(carries<int32_t>(CTL_GET_VERSION, false, true));
static_assert(carries<int32_t>(CTL_GET_NDRIVERS, false, true));
static_assert(carries<char[DRIVER_LIST_BYTES]>(CTL_GET_DRIVERS, false, true));
static_assert(carries<int32_t>(CTL_GET_NCARDS, false, true));
static_assert(carries<CardInfo>(CTL_GET_CARD_INFO, true, true));
static_assert(carries<int32_t>(CTL_ACTIVATE, true, false));
static_assert(carries<int32_t>(CTL_GET_STATUS, false, true));
static_assert(carries<int32_t[DRIVER_TYPE_SLOTS]>(CTL_GET_DRIVER_TYPES, false, true));
static_assert(carries<CardConfigRecord>(CTL_ADD_CARD, true, false));
static_assert(carries<CardCommandRecord>(CTL_CARD_COMMAND, true, true));
static_assert(carries<char[DRIVER_LIST_BYTES]>(CTL_GET_DRIVERS_LONG, false, true));
static_assert(carries<int32_t>(CTL_PNP_DETECT, false, true));
static_assert(carries<PnpCardInfo>(CTL_PNP_CARD_INFO, true, true));
static_assert(carries<PnpResourceDump>(CTL_PNP_RESOURCES, true, true));
static_assert(ioc_size(CTL_PNP_END) == 0 && ioc_size(CTL_PNP_RESTART) == 0);
static_assert(carries<int32_t>(CTL_GET_PCI_IRQS, false, true));
static_assert(carries<int32_t>(CTL_PNP_SET_PORT, true, false));
static_assert(carries<PnpDeviceRecord>(CTL_SET_PNP_DEVICE, true, true));
static_assert(carries<OptionRequest>(CTL_SET_OPTION, true, false));
static_assert(carries<CardHeaderRecord>(CTL_CARD_HEADER, true, false));
static_assert(carries<MixerLevels>(MIXER_SETLEVELS, true, true));
static_assert(carries<SysInfo>(KVL_SYSINFO, false, true));
static_assert(carries<AudioInfo>(SNDCTL_AUDIOINFO, true, true));
static_assert(carries<RoutingRecord>(CTL_GET_REROUTE, true, true));
static_assert(carries<RoutingRecord>(CTL_SET_REROUTE, true, false));
static_assert(carries<int32_t>(SNDCTL_SEQ_NRSYNTHS, false, true));
static_assert(carries<SynthInfo>(SNDCTL_SYNTH_INFO, true, true));

// One row of the request table: the code, its constant's name and the label
// under which a failing request is reported. The simulator journals and
// matches faults by the same rows.
struct RequestInfo {
  uint32_t code;
  const char *name;   // "CTL_GET_VERSION"
  const char *label;  // "Get version"
};

// Every request of the driver interface, in code order of the interface.
extern const RequestInfo kRequestTable[];
extern const int kRequestCount;

// The row of code, or nullptr for a code outside the interface.
const RequestInfo *request_info(uint32_t code);

// The label under which a failing request is reported ("Get version", ...), or
// the request's name where it has no label ("CTL_CARD_HEADER"); "unknown
// request" for a code outside the interface.
const char *request_label(uint32_t code);

}  // namespace kvl
