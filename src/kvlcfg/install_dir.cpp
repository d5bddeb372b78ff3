// The installation directory that /etc/kvl.conf names, by the one reader of
// the file that every program uses (common/kvl_conf.h), through the OS seam.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/kvl_conf.h"
#include "kvlcfg/kvlcfg.h"
#include "sys/sys.h"

namespace kvl {

namespace {

constexpr const char *KVL_CONF_PATH = "/etc/kvl.conf";

}  // namespace

int default_install_dir(std::string *dir, std::string *error) {
  std::FILE *f = sys_fopen(KVL_CONF_PATH, "r");
  if (!f) {
    *error = std::string(KVL_CONF_PATH) + ": " + std::strerror(errno);
    return -1;
  }
  char found[KVL_CONF_DIR_MAX + 1] = {};
  int rc = kvl_conf_read_install_dir(f, found);
  int err = errno;
  std::fclose(f);
  if (rc < 0) {
    *error = std::string(KVL_CONF_PATH) + ": " + std::strerror(err);
    return -1;
  }
  if (rc == 0) {
    *error = "Error: KVLLIBDIR not set in /etc/kvl.conf";
    return -1;
  }
  *dir = found;
  return 0;
}

}  // namespace kvl
