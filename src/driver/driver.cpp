#include "driver/driver.h"

#include "sys/sys.h"

namespace kvl {

int driver_request(int fd, uint32_t code, void *record) {
  return sys_ioctl(fd, code, record);
}

const char *request_label(uint32_t code) {
  switch (code) {
    case CTL_GET_VERSION: return "Get version";
    case CTL_GET_NDRIVERS: return "Get #drivers";
    case CTL_GET_DRIVERS: return "Get drivers";
    case CTL_GET_NCARDS: return "Get #cards";
    case CTL_GET_CARD_INFO: return "Get card info";
    case CTL_ACTIVATE: return "activate";
    case CTL_GET_STATUS: return "Get status";
    case CTL_GET_DRIVER_TYPES: return "Get driver types";
    case CTL_ADD_CARD: return "Add card";
    case CTL_CARD_COMMAND: return "Config";
    case CTL_GET_DRIVERS_LONG: return "Get drivers long";
    case CTL_PNP_DETECT: return "PnP detect";
    case CTL_PNP_CARD_INFO: return "PnP cardinfo";
    case CTL_PNP_RESOURCES: return "PnP resources";
    case CTL_PNP_END: return "PnP end";
    case CTL_PNP_RESTART: return "PnP restart";
    case CTL_GET_PCI_IRQS: return "get PCI IRQs";
    case CTL_PNP_SET_PORT: return "PnP set port";
    case CTL_SET_PNP_DEVICE: return "Set PnP device";
    case CTL_SET_OPTION: return "Set ioctl";
    case CTL_CARD_HEADER: return "CTL_CARD_HEADER";
    case MIXER_SETLEVELS: return "Mixer setlevels";
    case KVL_SYSINFO: return "KVL_SYSINFO";
    case SNDCTL_AUDIOINFO: return "SNDCTL_AUDIOINFO";
    case CTL_GET_REROUTE: return "Get reroute";
    case CTL_SET_REROUTE: return "Set reroute";
    case SNDCTL_SEQ_NRSYNTHS: return "SNDCTL_SEQ_NRSYNTHS";
    case SNDCTL_SYNTH_INFO: return "SNDCTL_SYNTH_INFO";
    default: return "unknown request";
  }
}

}  // namespace kvl
