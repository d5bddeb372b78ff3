#include "cardcfg/pnp_layout.h"

#include "common/text.h"
#include "cardcfg/devices_cfg.h"
#include "cardcfg/pnp_device.h"
#include "hwdb/hwdb.h"

#include <initializer_list>

namespace kvl {

namespace {

constexpr PnpValue P(int k, int offset = 0) { return {PnpSource::Port, k, offset}; }
constexpr PnpValue I(int k) { return {PnpSource::Irq, k, 0}; }
constexpr PnpValue D1(int k) { return {PnpSource::Dma1, k, 0}; }
constexpr PnpValue D2(int k) { return {PnpSource::Dma2, k, 0}; }
constexpr PnpValue HASH = {PnpSource::Empty, 0, 0};  // "#": a fixed empty port

constexpr PnpLogicalDevice dev(const char *id, std::initializer_list<PnpValue> ports,
                               std::initializer_list<PnpValue> irqs = {},
                               std::initializer_list<PnpValue> dmas = {}, int port_gate = 0) {
  PnpLogicalDevice d{id, port_gate, 0, {}, 0, {}, 0, {}};
  for (PnpValue v : ports) d.ports[d.nports++] = v;
  for (PnpValue v : irqs) d.irqs[d.nirqs++] = v;
  for (PnpValue v : dmas) d.dmas[d.ndmas++] = v;
  return d;
}

// The shapes that several rows share.
constexpr PnpLogicalDevice codec(const char *id) {
  return dev(id, {P(3), P(1), HASH}, {I(3)}, {D1(3), D2(3)});
}
constexpr PnpLogicalDevice second(const char *id) { return dev(id, {P(2)}, {I(2)}); }
constexpr PnpLogicalDevice control(const char *id) { return dev(id, {P(3, 4)}, {}, {}, 3); }
constexpr PnpLogicalDevice sb(const char *id) {
  return dev(id, {P(3), P(2), P(1)}, {I(3)}, {D1(3), D2(3)});
}
constexpr PnpLogicalDevice awe(const char *id) {
  return dev(id, {P(4), P(2), P(1)}, {I(4)}, {D1(4), D2(4)});
}
constexpr PnpLogicalDevice wave(const char *id) {
  return dev(id, {P(4, 0x400), P(4, 0x800), P(4, 0xC00)}, {}, {}, 4);
}
constexpr PnpLogicalDevice ess(const char *id) { return dev(id, {P(3), P(1), P(2)}, {I(3)}, {D1(3)}); }
constexpr PnpLogicalDevice nothing(const char *id) { return dev(id, {}); }

constexpr PnpLayoutRow row(std::string_view cards, std::initializer_list<PnpLogicalDevice> devices,
                           bool no_device_lines = false) {
  PnpLayoutRow r{cards, 0, {}, no_device_lines};
  for (const PnpLogicalDevice &d : devices) r.devices[r.ndevices++] = d;
  return r;
}
constexpr bool NO_DEVICE_LINES = true;

// Rows in the order they are tried; the first that lists the card wins.
constexpr PnpLayoutRow ROWS[] = {
    row("CMI0001",
        {dev("@@@0001", {P(3), P(1)}, {I(3)}, {D1(3)}), second("@H@0001"), nothing("@X@0001")}),
    row("YMH0020 YMH0030 YMH0800 YMH0802 YMH0801",
        {dev("YMH0021", {HASH, P(4), P(1), P(2), P(3)}, {I(4), I(2)}, {D1(4), D2(4)})}),
    row("CSC4232 CSC0B32 CSCF032 CSC4835 CSC4837 CSC1A32 CSC0D32 CSC1E37 CSC4532",
        {codec("CSC0000"), second("CSC0003"), control("CSC0002")}),
    row("CSC8032", {codec("CSC0000"), second("PNPB006"), control("CSC0002")}),
    row("CSC3D32", {codec("ASB160D"), second("ASB16FE"), control("ASB1600")}),
    row("CSCE825 CSC8025 CSC4625 CSC2B25 CSC1525 CSC4825",
        {codec("CSC0100"), second("CSC0103"), control("CSC0110")}),
    row("CSC8037 CSC4637 CSC4737 CSC7537 CSC4336 CSCA636 CSC0B35 CSC6835 CSC0735 CSC0837 "
        "CSCEB37 CSC4237 CSCD925 CSCD937 CSC0437 CSC4236 CSC6836 CSCE836 CSC0B36 CSCC436 "
        "CSCE835 CSC4535",
        {codec("CSC0000"), second("CSC0003"), control("CSC0010")}),
    row("CSCA836", {dev("CSCA800", {P(1), P(2), HASH}, {I(1)}, {D1(1), D2(1)}),
                    dev("CSC9407", {P(3)}, {I(3)}), dev("CSCA805", {P(3, -8)}),
                    dev("CSCA810", {P(1, 4)}, {}, {}, 3)}),
    row("CSC9836",
        {codec("CSC0000"), second("CSC0005"), nothing("CSC0003"), control("CSC0010")}),
    row("CTL0072 CTL0070 CTL0051 CTL0053 sb16pnp", {sb("CTL0001")}),
    row("CTL00F0", {dev("CTL0043", {P(3), P(2), P(1)}, {I(3)}, {D1(3), D1(3)})}),
    row("CTL0028 CTL0024 CTL0025 CTL0026 CTL0027 CTL002A CTL0029 CTL0031 CTL002C CTLFFF1 "
        "CTL3002 CTL002B",
        {sb("CTL0031")}),
    row("CTL0044 CTL0041 CTL0042 CTL0043 CTL0045 CTL0049 CTL0047 CTL0054 CTL009A CTL0039 "
        "CTL0048",
        {awe("CTL0031"), wave("CTL0021")}),
    row("CTL009C CTL0084 CTL009F", {awe("CTL0041"), wave("CTL0021")}),
    row("CTL00ED CTL00EC", {awe("CTL0041"), wave("CTL0070")}),
    row("CTL0080 CTL0086", {sb("CTL0041")}, NO_DEVICE_LINES),
    row("CTL00A5 CTL00A2 CTL00A3",
        {dev("CTL0021", {P(1), P(1, 0x400), P(1, 0x800)}, {}, {}, 1)}, NO_DEVICE_LINES),
    row("CTL009D CTL00C1", {awe("CTL0042"), wave("CTL0022")}),
    row("CTL00C3 CTL00C5 CTL00C7 CTL00E7 CTL00E9 CTL00E4", {awe("CTL0045"), wave("CTL0022")}),
    row("CTL009E CTL00B2", {awe("CTL0044"), wave("CTL0023")}),
    row("ALS0001", {dev("@@@0001", {P(1)}, {I(1)}, {D1(1), D2(1)}), dev("@X@0001", {P(2)}, {I(1)}),
                    dev("@H@0001", {P(1)})}),
    row("ALS0007", {dev("@@@0001", {P(3)}, {I(3)}, {D1(3), D1(3)}), dev("@X@0001", {P(2)}, {I(3)}),
                    dev("@H@0001", {P(1)})}),
    row("ALS0120", {dev("@@@2001", {P(3)}, {I(3)}, {D1(3), D1(3)}), dev("@X@2001", {P(2)}, {I(3)}),
                    dev("@H@2001", {P(1)})}),
    row("ALS0110", {dev("@@@1001", {P(3)}, {I(3)}, {D1(3), D2(3)}), dev("@X@1001", {P(2)}, {I(2)}),
                    dev("@H@1001", {P(1)})}),
    row("ESS1868", {ess("ESS1868")}),
    row("ESS1869 ESS0003", {ess("ESS1869")}),
    row("ESS1878", {ess("ESS1878")}),
    row("ESS1879", {ess("ESS1879")}),
    row("ESS0968", {ess("ESS0968"), ess("ESS0969")}),
};

bool lists(std::string_view cards, std::string_view name) {
  while (!cards.empty()) {
    size_t end = cards.find(' ');
    if (cards.substr(0, end) == name) return true;
    if (end == std::string_view::npos) break;
    cards.remove_prefix(end + 1);
  }
  return false;
}

const CardDevice *device_k(const ConfiguredCard &card, int k) {
  return k >= 1 && k <= card.device_count ? &card.devices[k - 1] : nullptr;
}

// The value an entry takes from the card's devices. An offset applies only
// to an assigned port; an unassigned one stays unassigned.
int32_t value_of(const ConfiguredCard &card, const PnpValue &v) {
  if (v.source == PnpSource::Empty) return 0;
  const CardDevice *d = device_k(card, v.device);
  if (!d) return -1;
  switch (v.source) {
    case PnpSource::Port: return d->port > 0 ? d->port + v.offset : d->port;
    case PnpSource::Irq: return d->irq[0];
    case PnpSource::Dma1: return d->dma[0];
    case PnpSource::Dma2: return d->dma[1];
    default: return -1;
  }
}

void fill_record(const ConfiguredCard &card, const PnpLogicalDevice &ld, PnpDeviceRecord *rec) {
  *rec = PnpDeviceRecord{};
  rec->id = pnp_id_from_text(ld.id);
  const CardDevice *gate = ld.port_gate ? device_k(card, ld.port_gate) : nullptr;
  if (!ld.port_gate || (gate && gate->enabled))
    for (int i = 0; i < ld.nports; i++) rec->ports[rec->nports++] = value_of(card, ld.ports[i]);
  for (int i = 0; i < ld.nirqs; i++) rec->irqs[rec->nirqs++] = value_of(card, ld.irqs[i]);
  for (int i = 0; i < ld.ndmas; i++) rec->dmas[rec->ndmas++] = value_of(card, ld.dmas[i]);
}

void write_pnpdev_line(std::string &out, const char *id, const PnpDeviceRecord &rec) {
  appendf(out, "/PNPDEV %s", id);
  for (int i = 0; i < rec.nports; i++)
    if (rec.ports[i] > 0) appendf(out, " P%03x", rec.ports[i]);
    else out += " P#";
  for (int i = 0; i < rec.nirqs; i++)
    if (rec.irqs[i] == -1) out += " I#";
    else appendf(out, " I%d", rec.irqs[i]);
  for (int i = 0; i < rec.ndmas; i++)
    if (rec.dmas[i] == -1) out += " D#";
    else appendf(out, " D%d", rec.dmas[i]);
  out += '\n';
}

// Disabled devices whose resources are allocated here keep none.
void clear_disabled(const HwdbModel &db, ConfiguredCard &card) {
  for (int d = 0; d < card.device_count; d++) {
    CardDevice &dev = card.devices[d];
    const HwdbNode *node = hwdb_node(db, dev.node);
    if (dev.enabled || !node) continue;
    if (node->opt & (OPT_NO_ALLOC | OPT_PNP)) continue;
    if (dev.port_count > 0) dev.port = -1;
    for (int i = 0; i < dev.irq_count && i < 2; i++) dev.irq[i] = -1;
    for (int i = 0; i < dev.dma_count && i < 2; i++) dev.dma[i] = -1;
  }
}

}  // namespace

const PnpLayoutTable g_pnp_layout = {ROWS, static_cast<int>(sizeof ROWS / sizeof ROWS[0])};

const PnpLayoutRow *pnp_layout_find(std::string_view card_name) {
  for (int i = 0; i < g_pnp_layout.count; i++)
    if (lists(g_pnp_layout.rows[i].cards, card_name)) return &g_pnp_layout.rows[i];
  return nullptr;
}

void write_pnp_section(ConfigWriter &w, const ConfiguredCard &saved) {
  ConfiguredCard card = saved;  // the model keeps what the user set
  clear_disabled(w.db, card);
  const PnpLayoutRow *row = pnp_layout_find(field_text(card.name));
  if (!row) {
    write_device_lines(w, card);
    return;
  }
  for (int i = 0; i < row->ndevices; i++) {
    PnpDeviceRecord rec;
    fill_record(card, row->devices[i], &rec);
    write_pnpdev_line(w.out, row->devices[i].id, rec);
  }
  if (!row->no_device_lines) write_device_lines(w, card);
}

}  // namespace kvl
