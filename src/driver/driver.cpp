// The request table: one row per request code, shared by the programs (for
// their error labels) and the simulator (for its journal and faults).
#include "driver/driver.h"

namespace kvl {

const RequestInfo kRequestTable[] = {
    {CTL_GET_VERSION, "CTL_GET_VERSION", "Get version"},
    {CTL_GET_NDRIVERS, "CTL_GET_NDRIVERS", "Get #drivers"},
    {CTL_GET_DRIVERS, "CTL_GET_DRIVERS", "Get drivers"},
    {CTL_GET_NCARDS, "CTL_GET_NCARDS", "Get #cards"},
    {CTL_GET_CARD_INFO, "CTL_GET_CARD_INFO", "Get card info"},
    {CTL_ACTIVATE, "CTL_ACTIVATE", "activate"},
    {CTL_GET_STATUS, "CTL_GET_STATUS", "Get status"},
    {CTL_GET_DRIVER_TYPES, "CTL_GET_DRIVER_TYPES", "Get driver types"},
    {CTL_ADD_CARD, "CTL_ADD_CARD", "Add card"},
    {CTL_CARD_COMMAND, "CTL_CARD_COMMAND", "Config"},
    {CTL_GET_DRIVERS_LONG, "CTL_GET_DRIVERS_LONG", "Get drivers long"},
    {CTL_PNP_DETECT, "CTL_PNP_DETECT", "PnP detect"},
    {CTL_PNP_CARD_INFO, "CTL_PNP_CARD_INFO", "PnP cardinfo"},
    {CTL_PNP_RESOURCES, "CTL_PNP_RESOURCES", "PnP resources"},
    {CTL_PNP_END, "CTL_PNP_END", "PnP end"},
    {CTL_PNP_RESTART, "CTL_PNP_RESTART", "PnP restart"},
    {CTL_GET_PCI_IRQS, "CTL_GET_PCI_IRQS", "get PCI IRQs"},
    {CTL_PNP_SET_PORT, "CTL_PNP_SET_PORT", "PnP set port"},
    {CTL_SET_PNP_DEVICE, "CTL_SET_PNP_DEVICE", "Set PnP device"},
    {CTL_SET_OPTION, "CTL_SET_OPTION", "Set ioctl"},
    {CTL_CARD_HEADER, "CTL_CARD_HEADER", "CTL_CARD_HEADER"},
    {MIXER_SETLEVELS, "MIXER_SETLEVELS", "Mixer setlevels"},
    {KVL_SYSINFO, "KVL_SYSINFO", "KVL_SYSINFO"},
    {SNDCTL_AUDIOINFO, "SNDCTL_AUDIOINFO", "SNDCTL_AUDIOINFO"},
    {CTL_GET_REROUTE, "CTL_GET_REROUTE", "Get reroute"},
    {CTL_SET_REROUTE, "CTL_SET_REROUTE", "Set reroute"},
    {SNDCTL_SEQ_NRSYNTHS, "SNDCTL_SEQ_NRSYNTHS", "SNDCTL_SEQ_NRSYNTHS"},
    {SNDCTL_SYNTH_INFO, "SNDCTL_SYNTH_INFO", "SNDCTL_SYNTH_INFO"},
};
const int kRequestCount = sizeof kRequestTable / sizeof kRequestTable[0];

const RequestInfo *request_info(uint32_t code) {
  for (const RequestInfo &r : kRequestTable)
    if (r.code == code) return &r;
  return nullptr;
}

const char *request_label(uint32_t code) {
  const RequestInfo *r = request_info(code);
  return r ? r->label : "unknown request";
}

}  // namespace kvl
