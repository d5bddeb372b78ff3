#include "common/file_trust.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

namespace kvl {

namespace {

constexpr int MAX_LINKS = 40;  // as the system's own limit on nested links

constexpr mode_t OTHERS_WRITE = S_IWGRP | S_IWOTH;

// A folder may be passed: a trusted owner, and writable by nobody else
// unless sticky (then only an entry's owner can remove or rename it).
bool passable_folder(const struct stat &st, const TrustedOwners &owners) {
  if (!trusted_owner(st, owners)) return false;
  return (st.st_mode & OTHERS_WRITE) == 0 || (st.st_mode & S_ISVTX) != 0;
}

// Puts the names of path in front of names (which holds them last first).
void push_names(std::string_view path, std::vector<std::string> &names) {
  std::vector<std::string> ahead;
  size_t i = 0;
  while (i < path.size()) {
    size_t slash = path.find('/', i);
    if (slash == std::string_view::npos) slash = path.size();
    if (slash > i) ahead.emplace_back(path.substr(i, slash - i));
    i = slash + 1;
  }
  names.insert(names.end(), ahead.rbegin(), ahead.rend());
}

std::string parent_of(const std::string &folder) {
  size_t slash = folder.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

std::string joined(const std::string &folder, const std::string &name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

bool trusted_owner(const struct stat &st, const TrustedOwners &owners) {
  return st.st_uid == 0 || st.st_uid == geteuid() || st.st_uid == owners.owner;
}

bool trusted_file(const struct stat &st, const TrustedOwners &owners) {
  return trusted_owner(st, owners) && (st.st_mode & OTHERS_WRITE) == 0;
}

int install_owners(const char *dir, TrustedOwners *owners) {
  struct stat st;
  if (stat(dir, &st) != 0) return -1;
  owners->owner = st.st_uid;
  return 0;
}

int commands_file_trusted(const char *path, const TrustedOwners &owners, struct stat *reached) {
  std::vector<std::string> names;  // still to take, the next one last
  push_names(path, names);
  if (path[0] != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return -1;
    push_names(cwd, names);  // taken first
  }
  std::string folder = "/";
  struct stat st;
  if (lstat("/", &st) != 0) return -1;
  if (!passable_folder(st, owners)) return 0;
  int links = 0;
  while (!names.empty()) {
    std::string name = std::move(names.back());
    names.pop_back();
    if (name == ".") continue;
    if (name == "..") {
      folder = parent_of(folder);  // passed on the way down already
      continue;
    }
    std::string at = joined(folder, name);
    if (lstat(at.c_str(), &st) != 0) return -1;
    if (!trusted_owner(st, owners)) return 0;
    if (S_ISLNK(st.st_mode)) {
      if (++links > MAX_LINKS) {
        errno = ELOOP;
        return -1;
      }
      std::string target(static_cast<size_t>(st.st_size) + 1, '\0');
      ssize_t n = readlink(at.c_str(), target.data(), target.size());
      if (n < 0) return -1;
      target.resize(static_cast<size_t>(n));
      // An absolute target starts again at the root (passed at the start).
      if (!target.empty() && target[0] == '/') folder.resize(1);
      push_names(target, names);
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      if (!passable_folder(st, owners)) return 0;
      folder = at;
      continue;
    }
    if (!names.empty()) {
      errno = ENOTDIR;
      return -1;
    }
    if (reached) *reached = st;
    return S_ISREG(st.st_mode) && trusted_file(st, owners) ? 1 : 0;
  }
  return 0;  // the path names a folder: no file of commands
}

}  // namespace kvl
