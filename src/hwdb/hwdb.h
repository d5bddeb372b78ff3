// The hardware database (etc/config.dat): record layouts exactly as in the
// decompressed file, and the read-only model the other subsystems use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvl {

constexpr int HWDB_MAX_RES = 8;
constexpr int HWDB_MAX_CHILDREN = 10;
// Deepest nesting of child nodes below a card's top node that a file may hold.
constexpr int HWDB_MAX_DEPTH = 16;
constexpr int HWDB_MAX_RANGES = 8;
constexpr int HWDB_MAX_VALUES = 16;  // a resource's value list
constexpr int HWDB_MAX_DESCR = 1024;
constexpr uint32_t HWDB_ENDIAN_MARK = 0x12345678u;
constexpr int32_t HWDB_VERSION = 0x1003;

// restype values
constexpr int RES_IO = 1;
constexpr int RES_IRQ = 2;
constexpr int RES_DMA = 3;

// HwdbResource::flags bits
constexpr int RF_DEFAULT_FIRST = 0x01;  // default offered first, user always asked
constexpr int RF_OPTIONAL = 0x04;       // stays unassigned when nothing is free
constexpr int RF_FIXED = 0x10;          // always the default
constexpr int RF_NO_REGISTER = 0x20;    // main port range not registered as taken

// HwdbNode::opt bits
constexpr int OPT_MAY_DISABLE = 0x4;
constexpr int OPT_PNP = 0x8;
constexpr int OPT_NO_ALLOC = 0x80;
constexpr int OPT_NOT_MANUAL = 0x100;
constexpr int OPT_NEEDS_MMPCI = 0x200;
constexpr int OPT_NEEDS_ISA = 0x400;
constexpr int OPT_NEEDS_USB = 0x400000;

// HwdbNode::dnld values. Start-up refuses every Intel hex download with
// HWDB_HEX_REFUSED, so the catalogue gives such a card a download hint that
// quotes it.
constexpr int DNLD_BINARY = 1;
constexpr int DNLD_HEX = 2;
constexpr const char *HWDB_HEX_REFUSED = "No hex downloads any more";

struct HwdbHeader {
  char magic[8];            // "KVLCONF"
  int32_t reserved0;
  uint32_t endian;          // HWDB_ENDIAN_MARK
  int32_t version;          // HWDB_VERSION
  unsigned char reserved1[100];
  int32_t menu_count;
  int32_t node_count;
  unsigned char reserved2[12];
  int32_t descr_count;
  int32_t reserved3;
  int32_t strings_size;
};

struct HwdbMenu {           // one row of the card-name table
  int32_t node;             // index of the card's top node
  char name[16];            // the card's key
  char title[108];
};

struct HwdbResource {
  int32_t restype;
  int32_t num;              // 1-based among the node's resources of this type
  int32_t descr;
  int32_t count;
  int32_t mask;
  int32_t values[HWDB_MAX_VALUES];
  int32_t def;              // factory default ("default" in the file format)
  uint8_t flags;
  uint8_t padding[3];
  int32_t size;
  int32_t reserved;
  int32_t range_start;
  int32_t range_end;
  int32_t range_step;
  int32_t range_count;
  int32_t ranges[HWDB_MAX_RANGES][2];  // (offset from base, length)
};

struct HwdbNode {
  char name[36];
  int32_t bus;
  int32_t type;
  int32_t descr;
  int32_t num;
  int32_t reserved;
  int32_t opt;
  int32_t nres;
  int32_t child_count;
  int32_t children[HWDB_MAX_CHILDREN];
  HwdbResource resources[HWDB_MAX_RES];
  int32_t dnld;             // 0 none, 1 binary, 2 Intel hex
  int32_t dnld_hint;        // descr index or -1
  char dnld_name[32];
  char dnld_file[64];
  int32_t control;          // descr index or -1
};

static_assert(sizeof(HwdbHeader) == 152 && offsetof(HwdbHeader, endian) == 12 &&
              offsetof(HwdbHeader, version) == 16 && offsetof(HwdbHeader, menu_count) == 120 &&
              offsetof(HwdbHeader, node_count) == 124 && offsetof(HwdbHeader, descr_count) == 140 &&
              offsetof(HwdbHeader, strings_size) == 148);
static_assert(sizeof(HwdbMenu) == 128 && offsetof(HwdbMenu, name) == 4 &&
              offsetof(HwdbMenu, title) == 20);
static_assert(sizeof(HwdbResource) == 180 && offsetof(HwdbResource, values) == 20 &&
              offsetof(HwdbResource, def) == 84 && offsetof(HwdbResource, flags) == 88 &&
              offsetof(HwdbResource, size) == 92 && offsetof(HwdbResource, range_start) == 100 &&
              offsetof(HwdbResource, range_count) == 112 && offsetof(HwdbResource, ranges) == 116);
static_assert(sizeof(HwdbNode) == 1656 && offsetof(HwdbNode, opt) == 56 &&
              offsetof(HwdbNode, children) == 68 && offsetof(HwdbNode, resources) == 108 &&
              offsetof(HwdbNode, dnld) == 1548 && offsetof(HwdbNode, dnld_name) == 1556 &&
              offsetof(HwdbNode, dnld_file) == 1588 && offsetof(HwdbNode, control) == 1652);

// A loaded database: read-only once loaded. The program's entry owns one
// and passes it by reference. The descr pointers point into strings.
struct HwdbModel {
  HwdbMenu *menus = nullptr;
  int menu_count = 0;
  HwdbNode *nodes = nullptr;
  int node_count = 0;
  char *strings = nullptr;
  int strings_size = 0;
  const char *descr[HWDB_MAX_DESCR] = {};
  int descr_count = 0;
};

// Loads the database at path into model. Returns 0, or -1 with err holding
// the complete failure output (each line ending in a newline) for the caller
// to print; model is then empty.
int hwdb_load(const char *path, HwdbModel *model, std::string *err);

// Releases what loading allocated and empties the model. The sections' sizes
// come from the model's counts, which must be as loading left them.
void hwdb_model_free(HwdbModel *model);

// Index of the first card-name row whose key equals key exactly, or -1.
int hwdb_find_card(const HwdbModel &db, const char *key);

// The node at index, or nullptr for an index outside the node array.
const HwdbNode *hwdb_node(const HwdbModel &db, int index);

// The text of a descr index, or nullptr for -1 or an index outside the table.
const char *hwdb_text(const HwdbModel &db, int descr);

}  // namespace kvl
