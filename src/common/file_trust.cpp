#include "common/file_trust.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace kvl {

namespace {

std::string folder_of(const std::string &path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// 1, 0 or -1 as commands_file_trusted, for one folder.
int folder_trusted(const std::string &path) {
  struct stat st;
  if (stat(folder_of(path).c_str(), &st) != 0) return -1;
  return only_owner_can_change(st) ? 1 : 0;
}

}  // namespace

bool only_owner_can_change(const struct stat &st) {
  if (st.st_uid != 0 && st.st_uid != geteuid()) return false;
  return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

int commands_file_trusted(const char *path) {
  struct stat st;
  if (stat(path, &st) != 0) return -1;
  if (!only_owner_can_change(st)) return 0;
  int rc = folder_trusted(path);
  if (rc != 1) return rc;
  char real[PATH_MAX];
  if (!realpath(path, real)) return -1;
  return folder_trusted(real);
}

}  // namespace kvl
