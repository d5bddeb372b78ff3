// audpanel's start: option words, open-error explanations, /etc/kvl.conf and
// the driver check.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/kvl_conf.h"
#include "common/text.h"
#include "panel/panel.h"
#include "sys/sys.h"

namespace kvl {

namespace {

std::string error_line(const char *label, int err) {
  return std::string(label) + ": " + std::strerror(err);
}

}  // namespace

const char PANEL_USAGE[] =
    "Usage: audpanel [WORD...]\n"
    "       audpanel --help | --version\n"
    "The control panel of a running Kelvane sound driver: the audio self test\n"
    "and the /dev/dsp input, output and duplex routing, saved in\n"
    "DIR/etc/dspdevs.map (DIR from the KVLLIBDIR= line of /etc/kvl.conf).\n"
    "Option words are accepted (the letters - and v) and change nothing.\n";

void panel_option_warnings(int argc, char **argv, std::string *warnings) {
  for (int i = 1; i < argc; i++)
    for (const char *p = argv[i]; *p; p++)
      if (*p != '-' && *p != 'v') appendf(*warnings, "Warning: Unrecognized option %c\n", *p);
}

const char *open_error_explanation(int err) {
  switch (err) {
    case ENOENT:
      return "The device file is missing from /dev.\nPerhaps you have not installed Kelvane yet\n";
    case ENXIO: {
      static const std::string text =
          std::string("There are no sound devices available.\n"
                      "The most likely reason is that the device you have\n"
                      "is malfunctioning or it's not supported by KVL.\n"
                      "It's also possible that you are trying to use wrong device file.\n"
                      "Please fill the problem report at\n") +
          PROBLEM_REPORT_URL + "\n";
      return text.c_str();
    }
    case EBUSY:
      return "The device is busy. There is some other application\nusing it.\n";
    case ENODEV:
      return "The device file was found in /dev but\nKVL is not loaded. You need to load it by "
             "executing\nthe audstart command.\n";
    case ENOSPC:
      return "Your system cannot allocate memory for the device\nbuffers. Reboot your machine and "
             "try again.\n";
    default:
      return nullptr;
  }
}

int parse_kvl_conf(std::string_view text, std::string *dir) {
  char found[KVL_CONF_DIR_MAX + 1];
  if (!kvl_conf_install_dir(text.data(), text.size(), found)) return -1;
  *dir = found;
  return 0;
}

int load_install_dir(PanelState &st, std::string *error) {
  FILE *f = sys_fopen(KVL_CONF, "r");
  if (!f) {
    *error = error_line(KVL_CONF, errno);
    return -1;
  }
  std::string text;
  int rc = read_stream(f, text);
  int err = errno;
  std::fclose(f);
  if (rc != 0) {
    *error = error_line(KVL_CONF, err);
    return -1;
  }
  if (parse_kvl_conf(text, &st.install_dir) != 0) {
    *error = "Error: KVLLIBDIR not set in /etc/kvl.conf";
    return -1;
  }
  return 0;
}

int check_driver(PanelState &st, std::string *error) {
  SysInfo info = {};
  if (control_send(st.control, KVL_SYSINFO, &info) < 0) {
    int err = errno;
    *error = error_line("KVL_SYSINFO", err);
    if (err == EINVAL) *error += "\nError: KVL version 3.9.7 or later is required";
    return -1;
  }
  st.audio_count = info.numaudios;
  for (int dev = 0; dev < st.audio_count; dev++) {
    AudioInfo ai = {};
    ai.dev = dev;
    if (control_send(st.control, SNDCTL_AUDIOINFO, &ai) < 0) {
      *error = error_line("SNDCTL_AUDIOINFO", errno) + "\nIncompatible KVL version";
      return -1;
    }
  }
  return load_routing(st, error);
}

}  // namespace kvl
