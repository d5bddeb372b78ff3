// The one-line status file DIR/.status: how the sound system last started or
// was configured, for the boot script's "status". Start-up, the configurator
// and kvlcfg write it; audstop writes its own word.
#pragma once

#include <string>

namespace kvl {

constexpr const char *STATUS_STARTING = "AUDSTART";       // start-up has begun
constexpr const char *STATUS_STARTED = "AUDSTART_OK";     // every card initialised
constexpr const char *STATUS_CONFIGURING = "AUDSET";      // the configurator's menu is up
constexpr const char *STATUS_CONFIGURED = "AUDSET_OK";    // the configuration was saved or left

// Replaces DIR/.status with word and a newline (temporary file + rename).
// On failure prints the path with the error text and "Cannot update install
// status" on standard error; nothing else happens.
void write_install_status(const std::string &dir, const char *word);

}  // namespace kvl
