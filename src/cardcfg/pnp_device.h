// Plug-and-play logical-device records: identifiers and "/PNPDEV" lines.
#pragma once

#include "control/control.h"
#include "driver/driver.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kvl {

// The 32-bit compressed form of a seven-character identifier such as
// "CTL0031" ("@" is a zero letter field). Any other length gives 0.
int32_t pnp_id_from_text(std::string_view text);

// The seven-character text of a 32-bit identifier: each five-bit letter field
// plus 64, then the low 16 bits as four upper-case hex digits ("%c%c%c%04X").
// Bit 31 lies outside the fields and is not shown.
std::string pnp_id_to_text(int32_t id);

// Parses the words after "/PNPDEV": an identifier, then "P<hex>" ports
// ("P#" or a bad number gives 0), "I<dec>" IRQs (else 2) and "D<dec>" DMA
// channels (else 4); other words are ignored. Entries past the record's 8 of
// a kind are dropped. Returns the number of entries dropped, or -1 when the
// text has no identifier.
int parse_pnp_device(std::string_view text, PnpDeviceRecord *rec);

// Hands a "/PNPDEV" line's words to the driver with the "Set PnP device"
// request. Returns 0; -1 after printing "Set PnP device: error" when the
// request fails. A text without an identifier sends nothing and returns 0;
// dropped entries are reported on standard error.
int set_pnp_device(const ControlDevice &control, std::string_view text);

}  // namespace kvl
