// The card report at the end of start-up: what the driver installed and
// whether every card initialised.
#include <cstdio>

#include "common/common.h"
#include "driver/driver.h"
#include "entry/entry.h"
#include "start/card_report.h"

namespace kvl {

namespace {

// One card line of the detailed log.
void print_card(CoreRun &run, const CardInfo &info) {
  const char *name = driver_name_by_key(run.model.drivers, info.key);
  std::fprintf(stderr, "%10s: ", name);
  std::fprintf(stderr, "%10s: ", name);
  std::fprintf(stderr, " PORT 0x%x", static_cast<unsigned>(info.port));
  std::fprintf(stderr, " IRQ %2d", info.irq);
  std::fprintf(stderr, " DMA1 %2d", info.dma1);
  std::fprintf(stderr, " DMA2 %2d", info.dma2);
  if (info.initialized == 0) std::fprintf(stderr, " (failed to initialize)");
  std::fprintf(stderr, "\n");
}

}  // namespace

int report_cards(CoreRun &run, int *all_ok) {
  int32_t ncards = 0;
  if (control_request(run.control, CTL_GET_NCARDS, &ncards) < 0) return -1;
  if (run.model.verbosity >= 3) std::fprintf(stderr, "%d cards installed.\n", ncards);
  if (ncards == 0) {
    std::printf("Error: No sound devices were installed\n");
    std::fprintf(stderr, "Error: No sound devices were installed\n");
  }

  // A driver without cards has not started: no "started OK" for it.
  *all_ok = ncards > 0;
  int failed = 0;
  for (int i = 0; i < ncards; i++) {
    CardInfo info = {};
    info.key = i;  // the index goes in where the type key comes back
    if (control_request(run.control, CTL_GET_CARD_INFO, &info) < 0) return -1;
    if (info.key == 0) break;
    if (info.initialized == 0) failed = 1;
    if (run.model.verbosity >= 3) print_card(run, info);
  }

  if (failed) {
    *all_ok = 0;
    std::printf("Warning: Some of the devices failed to initialize.\n");
    std::printf("See %s/logs/audstart.log for more info.\n", run.model.install_dir.c_str());
    std::fprintf(stderr, "Warning: Some of the devices failed to initialize\n");
  }
  return 0;
}

}  // namespace kvl
