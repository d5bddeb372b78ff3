// Plug-and-play and PCI requests: detection, card information, resources,
// logical-device records, the read-data port, and the IRQs PCI cards hold.
#include "driver/driver.h"
#include "requests.h"

#include <cerrno>
#include <cstring>

namespace kvl {

namespace {

int32_t &io_int(SimCall &c) { return *static_cast<int32_t *>(c.arg); }

SimJson int_list(const int32_t *v, int n) {
  SimJson l = SimJson::array();
  for (int i = 0; i < n; i++) l.push_back(v[i]);
  return l;
}

}  // namespace

// The number of ISA plug-and-play cards, also as the result.
int req_pnp_detect(SimCall &c) {
  int n = static_cast<int>(c.machine.pnp.size());
  io_int(c) = n;
  c.entry["cards"] = n;
  return n;
}

// Cards 0..n-1 are the plug-and-play cards, then the PCI cards (identifier
// -1, with their name and IRQ); a number beyond them fails with ENXIO.
int req_pnp_card_info(SimCall &c) {
  PnpCardInfo *r = static_cast<PnpCardInfo *>(c.arg);
  int index = r->id;
  c.entry["index"] = index;
  int npnp = static_cast<int>(c.machine.pnp.size());
  int npci = static_cast<int>(c.machine.pci.size());
  if (index < 0 || index >= npnp + npci) return -ENXIO;
  std::memset(r, 0, sizeof *r);
  if (index < npnp) {
    const SimPnpCard &p = c.machine.pnp[index];
    r->id = pnp_id_number(p.id);
    set_field_text(r->name, sizeof r->name, p.name);
    r->irq = p.irq;
    c.entry["id"] = p.id;
  } else {
    const SimPciCard &p = c.machine.pci[index - npnp];
    r->id = -1;
    set_field_text(r->name, sizeof r->name, p.name);
    r->irq = p.irq;
    c.entry["id"] = -1;
  }
  c.entry["card_name"] = field_text(r->name, sizeof r->name);
  c.entry["irq"] = r->irq;
  return 0;
}

// The identifier (four bytes, little-endian) followed by the card's
// resource bytes.
int req_pnp_resources(SimCall &c) {
  PnpResourceDump *r = static_cast<PnpResourceDump *>(c.arg);
  int index = r->count;
  c.entry["index"] = index;
  if (index < 0 || index >= static_cast<int>(c.machine.pnp.size())) return -ENXIO;
  const SimPnpCard &p = c.machine.pnp[index];
  std::memset(r, 0, sizeof *r);
  uint32_t id = static_cast<uint32_t>(pnp_id_number(p.id));
  for (int i = 0; i < 4; i++) r->data[i] = static_cast<unsigned char>(id >> (8 * i));
  // An empty list has no bytes to copy (and may have no buffer at all).
  if (!p.resources.empty()) std::memcpy(r->data + 4, p.resources.data(), p.resources.size());
  r->count = static_cast<int32_t>(4 + p.resources.size());
  c.entry["bytes"] = r->count;
  return 0;
}

int req_pnp_end(SimCall &) { return 0; }

int req_pnp_restart(SimCall &) { return 0; }

int req_pnp_set_port(SimCall &c) {
  int port = io_int(c);
  c.entry["port"] = port;
  if (port < 0x203 || port > 0x3ff) return -EINVAL;
  c.state["pnp_port"] = port;
  return 0;
}

// Programs one logical device; a later record for the same identifier
// replaces the earlier one.
int req_set_pnp_device(SimCall &c) {
  const PnpDeviceRecord *r = static_cast<const PnpDeviceRecord *>(c.arg);
  std::string id = pnp_id_text(r->id);
  c.entry["id"] = id;
  c.entry["nports"] = r->nports;
  c.entry["nirqs"] = r->nirqs;
  c.entry["ndmas"] = r->ndmas;
  for (int n : {r->nports, r->nirqs, r->ndmas})
    if (n < 0 || n > PNP_MAX_RES) return -EINVAL;
  SimJson dev = {{"id", id},
                 {"ports", int_list(r->ports, r->nports)},
                 {"irqs", int_list(r->irqs, r->nirqs)},
                 {"dmas", int_list(r->dmas, r->ndmas)}};
  c.entry["ports"] = dev["ports"];
  c.entry["irqs"] = dev["irqs"];
  c.entry["dmas"] = dev["dmas"];
  SimJson &devs = c.state["pnp_devices"];
  for (auto &d : devs)
    if (d["id"] == id) {
      d = dev;
      return 0;
    }
  devs.push_back(dev);
  return 0;
}

int req_get_pci_irqs(SimCall &c) {
  uint32_t mask = 0;
  for (const auto &p : c.machine.pci)
    if (p.irq > 0 && p.irq < 32) mask |= 1u << p.irq;
  io_int(c) = static_cast<int32_t>(mask);
  c.entry["mask"] = mask;
  return 0;
}

}  // namespace kvl
