// The steps of the resource allocation that call into each other: the checks
// (allocate.cpp, rebuild.cpp), the take-overs (allocate.cpp) and the selection
// dialogs (select_dialogs.cpp) that ask again and then check or take over.
// Only src/cardcfg and the allocation's own tests include this header; other
// callers use allocate.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cardcfg/allocate.h"

namespace kvl {

// The node's resource of restype with num, or nullptr.
const HwdbResource *find_resource(const HwdbNode &node, int restype, int num);

// IRQ lines and DMA channels share the holder logic; a Line names which
// table: the resource type, the holder and owner arrays, their size and the
// device's two slots of that type.
struct Line {
  int restype;
  const char **holder;
  DeviceRef *owner;
  int lines;
  int32_t *(*slots)(CardDevice &);
};
Line irq_line(ResourceTables &t);
Line dma_line(ResourceTables &t);

// Download-file check, then the enabled devices of the card from the last
// to the first (the last device chooses first).
void check_card(Allocation &a, int card);
// The resources of one device in database order.
void check_device(Allocation &a, int card, int device);
// Validates one slot and registers it; asks or takes over where needed.
void check_port(Allocation &a, int card, int device, const HwdbResource &res);
void check_line(Allocation &a, const Line &l, int card, int device, const HwdbResource &res);
void check_irq(Allocation &a, int card, int device, const HwdbResource &res);
void check_dma(Allocation &a, int card, int device, const HwdbResource &res);

// Takes value for the device's slot from every other device that holds it,
// registers it for the device and asks each of those devices again.
void take_port(Allocation &a, int card, int device, const HwdbResource &res, int value);
void take_line(Allocation &a, const Line &l, int card, int device, int value);

// Disables the device: off, every slot -1, nothing held.
void disable_device(Allocation &a, int card, int device);

// The help screen of the selection dialogs: three sections (the card, the
// device, the resource), each from a database text or nullptr.
void show_selection_help(Asker &asker, const std::string &title, const char *word,
                         const char *card_text, const char *device_text, const char *resource_text);

// Appends a help section to lines: the heading, a line of "=", an empty
// line, then text's lines ("*** No information available ***" without
// text; a one-line text gets "(No further information on this subject).")
// and an empty line.
void add_help_section(std::vector<std::string> &lines, const std::string &heading,
                      const char *text);

}  // namespace kvl
