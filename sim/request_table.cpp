// Which handler answers which request code, and the names a fault may use.
#include "driver/driver.h"
#include "requests.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace kvl {

namespace {

// The handler of each request code; names and labels come from the
// driver's request table.
struct HandlerEntry {
  uint32_t code;
  SimHandler handler;
};

const HandlerEntry kHandlers[] = {
    {CTL_GET_VERSION, req_get_version},
    {CTL_GET_NDRIVERS, req_get_ndrivers},
    {CTL_GET_DRIVERS, req_get_drivers},
    {CTL_GET_NCARDS, req_get_ncards},
    {CTL_GET_CARD_INFO, req_get_card_info},
    {CTL_ACTIVATE, req_activate},
    {CTL_GET_STATUS, req_get_status},
    {CTL_GET_DRIVER_TYPES, req_get_driver_types},
    {CTL_ADD_CARD, req_add_card},
    {CTL_CARD_COMMAND, req_card_command},
    {CTL_GET_DRIVERS_LONG, req_get_drivers_long},
    {CTL_PNP_DETECT, req_pnp_detect},
    {CTL_PNP_CARD_INFO, req_pnp_card_info},
    {CTL_PNP_RESOURCES, req_pnp_resources},
    {CTL_PNP_END, req_pnp_end},
    {CTL_PNP_RESTART, req_pnp_restart},
    {CTL_GET_PCI_IRQS, req_get_pci_irqs},
    {CTL_PNP_SET_PORT, req_pnp_set_port},
    {CTL_SET_PNP_DEVICE, req_set_pnp_device},
    {CTL_SET_OPTION, req_set_option},
    {CTL_CARD_HEADER, req_card_header},
    {MIXER_SETLEVELS, req_mixer_setlevels},
    {KVL_SYSINFO, req_sysinfo},
    {SNDCTL_AUDIOINFO, req_audioinfo},
    {CTL_GET_REROUTE, req_get_reroute},
    {CTL_SET_REROUTE, req_set_reroute},
    // Answered by seqsim.c (see dispatch.cpp), like the C seam answers them.
    {SNDCTL_SEQ_NRSYNTHS, nullptr},
    {SNDCTL_SYNTH_INFO, nullptr},
};

}  // namespace

SimHandler find_handler(uint32_t code) {
  for (const auto &h : kHandlers)
    if (h.code == code) return h.handler;
  return nullptr;
}

const char *request_name(uint32_t code) {
  const RequestInfo *r = request_info(code);
  return r ? r->name : nullptr;
}

bool request_matches(uint32_t code, const std::string &text) {
  if (text == request_label(code)) return true;
  const char *name = request_name(code);
  if (name && text == name) return true;
  // Set reroute is also reported under the label "reroute" at start-up.
  if (code == CTL_SET_REROUTE && text == "reroute") return true;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08x", code);
  return strcasecmp(text.c_str(), hex) == 0;
}

bool request_known(const std::string &text) {
  for (const auto &h : kHandlers)
    if (request_matches(h.code, text)) return true;
  return false;
}

std::string field_text(const char *p, size_t n) {
  return std::string(p, strnlen(p, n));
}

void set_field_text(char *p, size_t n, const std::string &text) {
  size_t k = text.size() < n - 1 ? text.size() : n - 1;
  std::memcpy(p, text.data(), k);
  std::memset(p + k, 0, n - k);
}

}  // namespace kvl
