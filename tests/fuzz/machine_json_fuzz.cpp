// Feeds arbitrary bytes to the simulator's machine.json reader. A machine it
// takes keeps the documented limits, and a driver built from it answers every
// request, with each of its ISA cards added as the machine has it, and
// activates them.
#include "sim/admin.h"
#include "sim/machine.h"
#include "sim_fuzz_dir.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  static kvl::Machine *m = new kvl::Machine;
  *m = kvl::Machine{};
  std::string err;
  if (kvl::machine_parse(text, *m, err) != 0) {
    if (err.empty() || err.find('\n') != std::string::npos) std::abort();  // one line says why
    return 0;
  }
  if (m->drivers.size() > kvl::SIM_MAX_DRIVERS || m->isa.size() > kvl::SIM_MAX_CARDS ||
      m->pnp.size() > kvl::SIM_MAX_CARDS || m->pci.size() > kvl::SIM_MAX_CARDS ||
      m->faults.size() > kvl::SIM_MAX_FAULTS)
    std::abort();
  for (const kvl::SimPnpCard &p : m->pnp)
    if (p.resources.size() > kvl::SIM_MAX_PNP_BYTES) std::abort();

  const std::string &dir = kvlfuzz::machine_dir();
  kvlfuzz::put_file("machine.json", data, size);
  unlink((dir + "/state.json").c_str());
  if (kvl::admin_load(dir) != 0) return 0;
  for (const kvl::SimIsaCard &c : m->isa) {
    char port[16];
    std::snprintf(port, sizeof port, "%x", static_cast<unsigned>(c.port));
    kvl::admin_addcard(dir, c.driver, port, std::to_string(c.irq), std::to_string(c.dma),
                       std::to_string(c.dma2));
  }
  kvlfuzz::walk_requests();
  return 0;
}
