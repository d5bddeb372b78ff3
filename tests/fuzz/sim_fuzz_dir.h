// A scratch machine directory for the simulator's fuzz targets: made under
// $TMPDIR (else /tmp) on first use, removed when the target exits.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "driver/driver.h"
#include "sim/requests.h"
#include "sim/sim.h"

namespace kvlfuzz {

inline const std::string &machine_dir() {
  // Never destroyed: the exit handler below still needs it.
  static const std::string *dir = [] {
    const char *tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/kvlsimfuzz.XXXXXX";
    if (!mkdtemp(templ.data())) std::abort();
    std::filesystem::create_directories(templ + "/dev");
    std::filesystem::create_directories(templ + "/etc");
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(machine_dir(), ec);
    });
    return new std::string(templ);
  }();
  return *dir;
}

// Replaces DIR/name with the bytes given.
inline void put_file(const std::string &name, const void *data, size_t size) {
  std::FILE *f = std::fopen((machine_dir() + "/" + name).c_str(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
}

// Sends one request with a record whose first 32-bit field is first (an
// index or mode where the request takes one). The simulator answers with a
// result or -1 and an errno, never anything else.
inline int ask(uint32_t code, int32_t first) {
  alignas(8) static unsigned char record[0x2000];
  std::memset(record, 0, sizeof record);
  std::memcpy(record, &first, sizeof first);
  errno = 0;
  int rc = kvl::sim_request_direct(machine_dir(), code, record);
  if (rc < -1 || (rc == -1 && errno <= 0)) std::abort();
  return rc;
}

// Every request of the driver interface against the machine directory as it
// stands: the lists and counts, each card, plug-and-play card, audio device,
// routing list and synthesizer, then activation, a routing change and the
// opening and use of an audio node.
inline void walk_requests() {
  using namespace kvl;
  for (uint32_t code : {CTL_GET_VERSION, CTL_GET_NDRIVERS, CTL_GET_DRIVERS, CTL_GET_NCARDS,
                        CTL_GET_STATUS, CTL_GET_DRIVER_TYPES, CTL_GET_DRIVERS_LONG,
                        CTL_PNP_DETECT, CTL_GET_PCI_IRQS, KVL_SYSINFO, SNDCTL_SEQ_NRSYNTHS})
    ask(code, 0);
  for (int32_t i = 0; i < 4; i++) {
    ask(CTL_GET_CARD_INFO, i);
    ask(CTL_PNP_CARD_INFO, i);
    ask(CTL_PNP_RESOURCES, i);
    ask(SNDCTL_AUDIOINFO, i);
    ask(SNDCTL_SYNTH_INFO, i);
    ask(CTL_GET_REROUTE, i);
  }
  ask(CTL_ACTIVATE, 0);
  ask(KVL_SYSINFO, 0);
  ask(CTL_SET_REROUTE, 2);
  ask(CTL_GET_REROUTE, 2);
  const std::string &dir = machine_dir();
  if (sim_open_check(dir.c_str(), "/dev/dsp0", 14, 3) == 0) sim_audio_io(dir.c_str(), 3, 64, true);
}

}  // namespace kvlfuzz
