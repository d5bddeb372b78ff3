// The card report at the end of start-up.
#pragma once

namespace kvl {

struct CoreRun;

// Get #cards, the card report and the warnings. Sets *all_ok to 0 when a
// card failed to initialise or the driver has no card. Returns 0, or -1
// after printing.
int report_cards(CoreRun &run, int *all_ok);

}  // namespace kvl
