// The kvlsim commands. Each returns 0, or 1 after printing one error line
// ("kvlsim: ...") on standard error.
#pragma once

#include <string>

namespace kvl {

int admin_init(const std::string &dir, const char *machine_file, const std::string &kvllibdir);
int admin_load(const std::string &dir);
int admin_unload(const std::string &dir);
int admin_fault(const std::string &dir, const std::string &request, const std::string &open,
                const std::string &err, const std::string &nth);
int admin_mknod(const std::string &dir, const std::string &path, const std::string &major,
                const std::string &minor, const std::string &mode);
int admin_addcard(const std::string &dir, const std::string &driver, const std::string &port,
                  const std::string &irq, const std::string &dma1, const std::string &dma2);
int admin_activate(const std::string &dir);

// Listings on standard output.
int admin_state(const std::string &dir);
int admin_journal(const std::string &dir);
int admin_devices(const std::string &dir);

}  // namespace kvl
