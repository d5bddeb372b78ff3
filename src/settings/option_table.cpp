// The driver options, in the order the options editor shows them.
#include "settings/option_table.h"

namespace kvl {

const OptionEntry OptionTable[OPTION_COUNT] = {
    {"trace_init", 1, 1},
    {"detect_trace", 2, 1},
    {"pnp_preserve", 3, 0},
    {"pnp_trace", 4, 1},
    {"be_quiet", 5, 0},
    {"pnp_reset", 6, 0},
    {"kvl_traditional", 9, 0},
    {"call_trace", 11, 1},
    {"src_quality", 12, 0},
    {"max_intrate", 13, 0},
    {"sblive_memlimit", 20, 0},
    {"sblive_devices", 21, 0},
    {"sblive_synth_enable", 22, 1},
    {"sblive_digital_din", 23, 0},
    {"audigy_digital_din", 24, 0},
    {"softkvl_rate", 30, 0},
    {"softkvl_masterdev", 31, 0},
    {"softkvl_channels", 32, 0},
    {"softkvl_devices", 33, 0},
    {"softkvl_loopdevs", 34, 0},
    {"softkvl_redirect", 35, 0},
    {"softkvl_disable", 36, 0},
    {"softkvl_use_src", 37, 0},
    {"softkvl_fragment", 38, 0},
    {"imux_masterdev", 50, 0},
    {"imux_rate", 51, 0},
    {"imux_devices", 52, 0},
    {"imux_init_order", 53, 0},
    {"envy24_skipdevs", 60, 0},
    {"envy24_swapdevs", 61, 0},
    {"envy24_realencoder_hack", 62, 0},
    {"envy24_gain_sliders", 63, 0},
    {"envy24_nfrags", 64, 0},
    {"envy24_virtualout", 65, 0},
    {"envy24_force_mono", 66, 0},
    {"envy24_zerolatency", 67, 1},
    {"envy24ht_model", 69, 0},
    {"envy24_devmask", 70, 0},
    {"apci_twodevs", 80, 0},
    {"apci_spdif", 81, 0},
    {"apci_latency", 82, 0},
    {"intelpci_rate_tuning", 86, 0},
    {"intelpci_force_mmio", 87, 0},
    {"studio_mode", 90, 0},
    {"studio_buffsize", 91, 0},
    {"studio_aes_mode", 92, 0},
    {"ews64_memsel", 95, 0},
    {"ews64_memsize", 96, 0},
    {"emu10k1x_spdif_enable", 100, 0},
    {"audigyls_spdif_enable", 101, 0},
    {"usb_trace", 200, 1},
    {"usb_mixerstyle", 201, 1},
    {"digi32_buffsize", 100000, 0},
    {"pas_joystick", 100001, 0},
    {"cs9236_enable", 100002, 0},
    {"ac97_amplifier", 100003, 0},
    {"allegro_amp", 100004, 0},
    {"geode_src", 100005, 0},
    {"geode_poll_mode", 100006, 0},
    {"cs423x_ctl_port", 100007, 0},
    {"cs4280_clkrun_fix", 100008, 0},
    {"ac97_recselect", 100009, 0},
    {"hdaudio_snoopy", 100010, 1},
    {"lynxtwo_init_order", 100011, 0},
};

const OptionEntry *find_option(std::string_view name) {
  for (const OptionEntry &e : OptionTable)
    if (name == e.name) return &e;
  return nullptr;
}

}  // namespace kvl
