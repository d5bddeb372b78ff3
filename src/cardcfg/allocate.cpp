// The checks and take-overs of the resource allocation, and what a slot's
// value is worth against the database and the holder tables.
#include "cardcfg/allocate_private.h"

#include "common/asker.h"
#include "cardcfg/model.h"
#include "common/text.h"
#include "hwdb/hwdb.h"

#include <cstdio>

namespace kvl {

namespace {

constexpr int ALIAS_FROM = 0x800;
constexpr int ALIAS_MASK = 0x7ff;

CardDevice &device_of(Allocation &a, int card, int device) {
  return a.model.cards.cards[card].devices[device];
}

bool same(DeviceRef r, int card, int device) { return r.card == card && r.device == device; }

bool in_range(const HwdbResource &res, int v) {
  if (res.range_step <= 0) return v == res.range_start;
  return v >= res.range_start && v <= res.range_end && (v - res.range_start) % res.range_step == 0;
}

bool port_allowed(const HwdbResource &res, int v) {
  if (v < 0) return false;
  if (res.count <= 0) return in_range(res, v);
  int n = res.count < HWDB_MAX_VALUES ? res.count : HWDB_MAX_VALUES;
  for (int i = 0; i < n; i++)
    if (res.values[i] == v) return true;
  return false;
}

// IRQs 1..31 (DMA 0..7) of the mask; in the range form any line of the table.
bool line_allowed(const HwdbResource &res, int v, int lo, int lines) {
  if (v < 0 || v >= lines) return false;
  if (res.count <= 0) return in_range(res, v);
  return v >= lo && (static_cast<uint32_t>(res.mask) >> v & 1u);
}

bool overlap(int a, int b, int s, int e) {
  return (s <= a && a <= e) || (s <= b && b <= e) || (a <= s && s <= b);
}

// a..b against s..e, each also as its alias when it starts at 0x800 or above.
bool conflicts(int a, int b, int s, int e) {
  if (overlap(a, b, s, e)) return true;
  bool alias_a = a >= ALIAS_FROM, alias_s = s >= ALIAS_FROM;
  int aa = a & ALIAS_MASK, ab = aa + (b - a), as = s & ALIAS_MASK, ae = as + (e - s);
  return (alias_a && overlap(aa, ab, s, e)) || (alias_s && overlap(a, b, as, ae)) ||
         (alias_a && alias_s && overlap(aa, ab, as, ae));
}

// The first entry from index from on that conflicts with base..base+size-1, or -1.
int first_conflict(const ResourceTables &t, int base, int size, int from) {
  int n = static_cast<int>(t.ports.size());
  for (int i = from; i < n; i++)
    if (conflicts(base, base + size - 1, t.ports[i].first, t.ports[i].last)) return i;
  return -1;
}

int extra_count(const HwdbResource &res) {
  return res.range_count < 0 ? 0 : res.range_count > HWDB_MAX_RANGES ? HWDB_MAX_RANGES
                                                                      : res.range_count;
}

// Every entry index that conflicts with the range or its extra ranges, once each.
std::vector<int> all_conflicts(const ResourceTables &t, int base, const HwdbResource &res) {
  std::vector<int> hits;
  int n = static_cast<int>(t.ports.size());
  for (int i = 0; i < n; i++) {
    bool hit = conflicts(base, base + res.size - 1, t.ports[i].first, t.ports[i].last);
    for (int x = 0; !hit && x < extra_count(res); x++) {
      int s = base + res.ranges[x][0];
      hit = conflicts(s, s + res.ranges[x][1] - 1, t.ports[i].first, t.ports[i].last);
    }
    if (hit) hits.push_back(i);
  }
  return hits;
}

const char *node_name(const Allocation &a, const CardDevice &dev) {
  const HwdbNode *n = hwdb_node(a.db, dev.node);
  return n ? n->name : "";
}

// The port ranges of a device: the main range unless flag 0x20, and each
// extra range. A range of no ports occupies nothing.
void register_port(Allocation &a, int card, int device, const HwdbResource &res, int v) {
  ResourceTables &t = a.model.resources;
  int node = device_of(a, card, device).node;
  if (!(res.flags & RF_NO_REGISTER) && res.size > 0)
    port_table_add(t, v, v + res.size - 1, node, {card, device});
  for (int x = 0; x < extra_count(res); x++)
    if (res.ranges[x][1] > 0)
      port_table_add(t, v + res.ranges[x][0], v + res.ranges[x][0] + res.ranges[x][1] - 1, node,
                     {card, device});
}

void release_ports(ResourceTables &t, DeviceRef who) {
  std::vector<PortRange> kept;
  for (size_t i = 0; i < t.ports.size(); i++)
    if (static_cast<int>(i) < t.port_base || !same(t.ports[i].owner, who.card, who.device))
      kept.push_back(t.ports[i]);
  t.ports.swap(kept);
}

int32_t *irq_slots(CardDevice &d) { return d.irq; }
int32_t *dma_slots(CardDevice &d) { return d.dma; }

void register_line(Allocation &a, const Line &l, int card, int device, int v) {
  l.holder[v] = node_name(a, device_of(a, card, device));
  l.owner[v] = {card, device};
}

// The first take-overs after a rebuild go on; from the 22nd on the device
// that asks is disabled. Returns false when it gave up.
bool count_takeover(Allocation &a, int card, int device) {
  ResourceTables &t = a.model.resources;
  if (t.takeovers++ > MAX_TAKEOVERS) {
    t.asking.who = {card, device};
    t.asking.res = nullptr;
    a.asker.notice("Serious resource allocation problems. giving UP", true);
    disable_device(a, card, device);
    return false;
  }
  return true;
}

// The device's slot for res, ready to be checked: nullptr when the device
// has no such slot or is disabled (its slot is then cleared); a fixed
// resource has taken its default.
int *slot_to_check(Allocation &a, int card, int device, const HwdbResource &res) {
  CardDevice &dev = device_of(a, card, device);
  int *slot = resource_slot(dev, res);
  if (!slot) return nullptr;
  if (!dev.enabled) {
    *slot = -1;
    return nullptr;
  }
  if (res.flags & RF_FIXED) *slot = res.def;
  return slot;
}

}  // namespace

Line irq_line(ResourceTables &t) { return {RES_IRQ, t.irq, t.irq_owner, IRQ_LINES, irq_slots}; }
Line dma_line(ResourceTables &t) { return {RES_DMA, t.dma, t.dma_owner, DMA_CHANNELS, dma_slots}; }

int *resource_slot(CardDevice &dev, const HwdbResource &res) {
  if (res.restype == RES_IO) return res.num == 1 ? &dev.port : nullptr;
  if (res.num < 1 || res.num > 2) return nullptr;
  if (res.restype == RES_IRQ) return &dev.irq[res.num - 1];
  if (res.restype == RES_DMA) return &dev.dma[res.num - 1];
  return nullptr;
}

const HwdbResource *find_resource(const HwdbNode &node, int restype, int num) {
  int nres = node.nres < 0 ? 0 : node.nres > HWDB_MAX_RES ? HWDB_MAX_RES : node.nres;
  for (int r = 0; r < nres; r++)
    if (node.resources[r].restype == restype && node.resources[r].num == num)
      return &node.resources[r];
  return nullptr;
}

bool port_range_free(const ResourceTables &t, int base, int size, const HwdbResource *res,
                     int *conflict) {
  int hit = first_conflict(t, base, size, 0);
  for (int x = 0; hit < 0 && res && x < extra_count(*res); x++)
    hit = first_conflict(t, base + res->ranges[x][0], res->ranges[x][1], 0);
  if (conflict) *conflict = hit;
  return hit < 0;
}

void disable_device(Allocation &a, int card, int device) {
  ResourceTables &t = a.model.resources;
  CardDevice &dev = device_of(a, card, device);
  dev.enabled = 0;
  dev.port = -1;
  dev.irq[0] = dev.irq[1] = dev.dma[0] = dev.dma[1] = -1;
  release_ports(t, {card, device});
  for (int i = 0; i < IRQ_LINES; i++)
    if (same(t.irq_owner[i], card, device)) t.irq[i] = nullptr, t.irq_owner[i] = {};
  for (int i = 0; i < DMA_CHANNELS; i++)
    if (same(t.dma_owner[i], card, device)) t.dma[i] = nullptr, t.dma_owner[i] = {};
}

void check_port(Allocation &a, int card, int device, const HwdbResource &res) {
  int *slot = slot_to_check(a, card, device, res);
  if (!slot) return;
  bool fixed = res.flags & RF_FIXED;
  int v = *slot;
  if (port_allowed(res, v) && port_range_free(a.model.resources, v, res.size, &res)) {
    register_port(a, card, device, res, v);
    return;
  }
  if (fixed) take_port(a, card, device, res, v);
  else select_port(a, card, device, res);
}

void check_line(Allocation &a, const Line &l, int card, int device, const HwdbResource &res) {
  int *slot = slot_to_check(a, card, device, res);
  if (!slot) return;
  bool fixed = res.flags & RF_FIXED;
  int v = *slot;
  bool valid = line_allowed(res, v, l.restype == RES_IRQ ? 1 : 0, l.lines);
  if (valid && !l.holder[v]) {
    register_line(a, l, card, device, v);
    return;
  }
  ResourceTables &t = a.model.resources;
  if (l.restype == RES_IRQ) {
    if (t.irq_nesting > MAX_IRQ_NESTING) {
      std::fprintf(stderr, "Internal error: Too deep recursion\n");
      disable_device(a, card, device);
      return;
    }
    t.irq_nesting++;
    if (fixed) take_line(a, l, card, device, v);
    else select_irq(a, card, device, res);
    t.irq_nesting--;
    return;
  }
  if (fixed) take_line(a, l, card, device, v);
  else select_dma(a, card, device, res);
}

void take_line(Allocation &a, const Line &l, int card, int device, int v) {
  if (!count_takeover(a, card, device)) return;
  if (v < 0 || v >= l.lines) return;
  DeviceRef old = l.owner[v];
  if (!l.holder[v]) {
    register_line(a, l, card, device, v);
    return;
  }
  if (old.card < 0 || same(old, card, device)) {
    // Held by the system, the exclusions, a PCI device or this device's
    // other slot: the value stays and the conflict is counted.
    a.model.resources.failures++;
    return;
  }
  CardDevice &other = device_of(a, old.card, old.device);
  int32_t *slots = l.slots(other);
  bool cleared[2] = {false, false};
  for (int s = 0; s < 2; s++)
    if (slots[s] == v) slots[s] = -1, cleared[s] = true;
  l.holder[v] = nullptr;
  l.owner[v] = {};
  register_line(a, l, card, device, v);
  const HwdbNode *on = hwdb_node(a.db, other.node);
  AskedSlot was = a.model.resources.asking;
  for (int s = 0; s < 2 && on; s++) {
    const HwdbResource *r = cleared[s] ? find_resource(*on, l.restype, s + 1) : nullptr;
    a.model.resources.asking.taken_by = {card, device};
    a.model.resources.asking.taken_value = v;
    if (r && other.enabled) check_line(a, l, old.card, old.device, *r);
  }
  a.model.resources.asking = was;
}

void check_irq(Allocation &a, int card, int device, const HwdbResource &res) {
  check_line(a, irq_line(a.model.resources), card, device, res);
}

void check_dma(Allocation &a, int card, int device, const HwdbResource &res) {
  check_line(a, dma_line(a.model.resources), card, device, res);
}

void take_port(Allocation &a, int card, int device, const HwdbResource &res, int value) {
  if (!count_takeover(a, card, device)) return;
  ResourceTables &t = a.model.resources;
  std::vector<DeviceRef> others;
  bool kept = false;
  for (int i : all_conflicts(t, value, res)) {
    DeviceRef o = t.ports[i].owner;
    if (o.card < 0 || same(o, card, device)) {
      kept = true;
      continue;
    }
    bool known = false;
    for (DeviceRef k : others) known = known || same(k, o.card, o.device);
    if (!known) others.push_back(o);
  }
  // A range held by the system stays a conflict: the value is kept and counted.
  if (kept) t.failures++;
  for (DeviceRef o : others) {
    device_of(a, o.card, o.device).port = -1;
    release_ports(t, o);
  }
  register_port(a, card, device, res, value);
  AskedSlot was = t.asking;
  for (DeviceRef o : others) {
    CardDevice &other = device_of(a, o.card, o.device);
    const HwdbNode *on = hwdb_node(a.db, other.node);
    const HwdbResource *r = on ? find_resource(*on, RES_IO, 1) : nullptr;
    t.asking.taken_by = {card, device};
    t.asking.taken_value = value;
    if (r && other.enabled) check_port(a, o.card, o.device, *r);
  }
  t.asking = was;
}

bool value_allowed(const HwdbResource &res, int value) {
  if (res.restype == RES_IO) return port_allowed(res, value);
  if (res.restype == RES_IRQ) return line_allowed(res, value, 1, IRQ_LINES);
  if (res.restype == RES_DMA) return line_allowed(res, value, 0, DMA_CHANNELS);
  return false;
}

bool value_free(const ConfigModel &model, const HwdbResource &res, int value) {
  if (!value_allowed(res, value)) return false;
  const ResourceTables &t = model.resources;
  if (res.restype == RES_IO) return port_range_free(t, value, res.size, &res);
  return res.restype == RES_IRQ ? !t.irq[value] : !t.dma[value];
}

std::string allowed_values_text(const HwdbResource &res) {
  bool io = res.restype == RES_IO;
  std::string out;
  auto number = [&](int v) { appendf(out, io ? "%x" : "%d", v); };
  auto add = [&](int v) {
    if (!out.empty()) out += ' ';
    number(v);
  };
  if (res.count <= 0) {
    if (res.range_step <= 0) {
      add(res.range_start);
    } else {
      add(res.range_start);
      out += "..";
      number(res.range_end);
      out += " by ";
      number(res.range_step);
    }
    return out;
  }
  if (io) {
    for (int i = 0; i < res.count && i < HWDB_MAX_VALUES; i++) add(res.values[i]);
    return out;
  }
  int lo = res.restype == RES_IRQ ? 1 : 0, lines = res.restype == RES_IRQ ? IRQ_LINES : DMA_CHANNELS;
  for (int v = lo; v < lines; v++)
    if (static_cast<uint32_t>(res.mask) >> v & 1u) add(v);
  return out;
}

SlotState slot_state(const ConfigModel &model, const HwdbModel &db, int card, int device,
                     const HwdbResource &res) {
  SlotState st;
  const ResourceTables &t = model.resources;
  CardDevice dev = model.cards.cards[card].devices[device];
  const int *slot = resource_slot(dev, res);
  st.value = slot ? *slot : -1;
  if (st.value < 0) {
    const AskedSlot &q = t.asking;
    if (q.taken_by.card >= 0 && q.taken_value >= 0) {
      st.problem = SlotProblem::TakenOver;
      st.value = q.taken_value;
      st.holder_device = q.taken_by;
      const CardDevice &taker = model.cards.cards[q.taken_by.card].devices[q.taken_by.device];
      const HwdbNode *n = hwdb_node(db, taker.node);
      st.holder = n ? std::string(field_text(n->name)) : "";
    } else {
      st.problem = SlotProblem::Unassigned;
    }
    return st;
  }
  if (!value_allowed(res, st.value)) {
    st.problem = SlotProblem::NotAllowed;
    return st;
  }
  const char *holder = nullptr;
  if (res.restype == RES_IO) {
    int hit = -1;
    if (port_range_free(t, st.value, res.size, &res, &hit) || hit < 0) return st;
    const HwdbNode *n = hwdb_node(db, t.ports[hit].node);
    st.holder = n ? std::string(field_text(n->name)) : "System";
    st.holder_device = t.ports[hit].owner;
    st.problem = SlotProblem::Taken;
    return st;
  }
  bool irq = res.restype == RES_IRQ;
  holder = irq ? t.irq[st.value] : t.dma[st.value];
  if (!holder) return st;
  st.problem = SlotProblem::Taken;
  st.holder = holder;
  st.holder_device = irq ? t.irq_owner[st.value] : t.dma_owner[st.value];
  return st;
}

void preset_factory_defaults(ConfigModel &model, const HwdbModel &db, int card, int device) {
  ConfiguredCard &cc = model.cards.cards[card];
  const HwdbNode *cn = hwdb_node(db, cc.node);
  if (!cn || (cn->opt & OPT_NO_ALLOC)) return;
  int n = cc.device_count < MAX_CARD_DEVICES ? cc.device_count : MAX_CARD_DEVICES;
  for (int d = 0; d < n; d++) {
    CardDevice &dev = cc.devices[d];
    const HwdbNode *dn = hwdb_node(db, dev.node);
    if ((device >= 0 && d != device) || !dev.enabled || !dn || (dn->opt & OPT_NO_ALLOC)) continue;
    int nres = dn->nres < 0 ? 0 : dn->nres > HWDB_MAX_RES ? HWDB_MAX_RES : dn->nres;
    for (int r = 0; r < nres; r++) {
      int *slot = resource_slot(dev, dn->resources[r]);
      if (slot && *slot == -1) *slot = dn->resources[r].def;
    }
  }
}

}  // namespace kvl
