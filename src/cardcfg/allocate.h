// Resource allocation: each enabled device's I/O port, IRQs and DMA channels
// are checked against what its database resource allows and against the
// holder tables; a missing, invalid or taken value is asked for in a
// selection dialog, or, for a fixed resource, taken from the devices that
// hold it. All asking goes through the Asker. The full pass is
// rebuild_and_check_all (resources.h); this header is what callers ask of
// the allocation besides it: the selection dialogs a person opens for one
// value, the firmware prompt, and what a slot's value is worth. The steps
// that call into each other are in allocate_private.h.
#pragma once

#include <string>
#include <vector>

#include "cardcfg/cardlist.h"
#include "cardcfg/resources.h"

namespace kvl {

struct ConfigModel;
struct HwdbModel;
struct HwdbNode;
struct HwdbResource;
class Asker;

// One allocation run: the model it changes, the database and the asker.
struct Allocation {
  ConfigModel &model;
  const HwdbModel &db;
  Asker &asker;
};

// The slot of a device that a resource fills: port num 1, IRQ or DMA num 1
// or 2. nullptr for any other resource (it has no slot and is skipped).
int *resource_slot(CardDevice &dev, const HwdbResource &res);

// True when base .. base + size - 1 and, with res, each of its extra ranges
// conflict with no port table entry; addresses from 0x800 up are also
// compared as their alias (AND 0x7ff), both ways. On a conflict *conflict
// (when given) is the index of the first conflicting entry.
bool port_range_free(const ResourceTables &t, int base, int size, const HwdbResource *res,
                     int *conflict = nullptr);

// Whether the resource allows value: a port in its value list (or range), an
// IRQ 1..31 or a DMA channel 0..7 in its mask (or range).
bool value_allowed(const HwdbResource &res, int value);

// Whether the resource allows value and no holder has it now.
bool value_free(const ConfigModel &model, const HwdbResource &res, int value);

// The values the resource allows, as a person reads them: "220 240 260"
// (ports in hex), "100..3f0 by 10" for a port range, "5 7 9" for IRQs and
// DMA channels.
std::string allowed_values_text(const HwdbResource &res);

// Why the allocation asks for a slot: what is wrong with its value now.
enum class SlotProblem {
  None,        // valid and free
  Unassigned,  // no value (-1)
  NotAllowed,  // a value the database's resource does not allow
  Taken,       // held by another holder
  TakenOver,   // a fixed resource of another device took it (AskedSlot::taken_by)
};
struct SlotState {
  SlotProblem problem = SlotProblem::None;
  int value = -1;       // the slot's value (TakenOver: the value that was taken)
  std::string holder;   // Taken, TakenOver: the holder's name (a device node name,
                        // "System", HOLDER_DISABLED or HOLDER_PCI)
  DeviceRef holder_device;  // the configured device that holds it, when one does
};

// The state of the device's slot for res against the holder tables as they
// are now (during a pass, before the device's own value is registered).
SlotState slot_state(const ConfigModel &model, const HwdbModel &db, int card, int device,
                     const HwdbResource &res);

// Gives every unassigned slot (-1) of the card's enabled devices (of device
// alone when it is not -1) its resource's factory default, so that a pass
// asks only where the default is not free. Cards and devices whose resources
// are not allocated here are left alone.
void preset_factory_defaults(ConfigModel &model, const HwdbModel &db, int card, int device = -1);

// The selection dialogs: the value of the slot is asked for, then checked
// (or taken over from its holders) again.
void select_port(Allocation &a, int card, int device, const HwdbResource &res);
void select_irq(Allocation &a, int card, int device, const HwdbResource &res);
void select_dma(Allocation &a, int card, int device, const HwdbResource &res);

// Asks for the card's firmware file until it exists or the user cancels;
// with force, asks even when the file exists.
void ask_download_file(Allocation &a, int card, int force);

}  // namespace kvl
