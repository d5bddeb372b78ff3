// How a configured card's devices and values read for a person: the labels
// and value texts that the configurator's manual configuration shows and
// kvlcfg's list prints.
#pragma once

#include <string>

namespace kvl {

struct HwdbModel;
struct HwdbNode;
struct HwdbResource;

// A device's label: the first line of its node's description, else its name.
std::string device_label(const HwdbModel &db, const HwdbNode &node);

// The value of a resource slot: "I/O port = 220", "IRQ      = 5",
// "DMA (A)  = 1" (B for the second DMA resource), with "not assigned" after
// the "=" for a slot without a value (nullptr or -1); "" for any other type.
std::string resource_value_line(const HwdbResource &res, const int *slot);

}  // namespace kvl
