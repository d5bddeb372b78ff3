// One configurator per installation: the configurator and kvlcfg's changes
// hold the lock file DIR/etc/.audset.lock while they run, so that a second one
// refuses to start. When the file cannot be created (a read-only etc/) they
// run without it.
#pragma once

#include <string>

namespace kvl {

constexpr const char *CONFIG_LOCK = "etc/.audset.lock";  // under the installation directory

// Takes DIR's configurator lock. Returns the descriptor to keep open while it
// is held; -2 when the lock file cannot be created (run without it); -1 when
// another process holds it, after "Another configurator is running (pid N)"
// on standard error, with *holder its pid.
int lock_configurator(const std::string &dir, long *holder);

// Whether another process holds DIR's configurator lock, without taking it
// or creating the file: 1 after the same line on standard error, with
// *holder its pid; 0 otherwise.
int configurator_running(const std::string &dir, long *holder);

// "Another configurator is running (pid N)", without a newline.
std::string configurator_running_text(long holder);

}  // namespace kvl
