#include "common/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace kvl {

namespace {

constexpr int MAX_LINKS = 40;  // as the system's own limit on nested links
constexpr std::string_view TEMPORARY_SUFFIX = "XXXXXX";  // filled in by mkostemp

int write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    text.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

std::string folder_of(const std::string &path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string &path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a save of path writes: path itself, or the final target of the
// symbolic links it names (which need not exist yet). Returns 0, or -1 with
// errno set.
int save_target(const char *path, std::string *target) {
  std::string p = path;
  for (int i = 0; i < MAX_LINKS; i++) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = p;  // a missing file is made here; other errors show when writing
      return 0;
    }
    std::string link(static_cast<size_t>(st.st_size) + 1, '\0');
    ssize_t n = readlink(p.c_str(), link.data(), link.size());
    if (n < 0) return -1;
    link.resize(static_cast<size_t>(n));
    p = !link.empty() && link[0] == '/' ? link : folder_of(p) + "/" + link;
  }
  errno = ELOOP;
  return -1;
}

// The process id in a temporary file's name after its "NAME.tmp." prefix:
// "PID.XXXXXX" as replace_file makes them, or "PID" alone as earlier versions
// did. Returns the id, or 0 for any other name.
pid_t temporary_owner(std::string_view rest) {
  size_t dot = rest.find('.');
  std::string_view digits = rest.substr(0, dot);
  if (digits.empty() || digits.size() > 9 ||
      digits.find_first_not_of("0123456789") != std::string_view::npos)
    return 0;
  if (dot != std::string_view::npos && rest.size() - dot - 1 != TEMPORARY_SUFFIX.size()) return 0;
  return static_cast<pid_t>(std::stol(std::string(digits)));
}

// Removes the temporary files of target whose writer no longer runs, and
// those under this process's own id, which an earlier process of the same id
// left (this one removes its own before it returns). Failures, and folders
// of those names, are left alone.
void remove_stale_temporaries(const std::string &target) {
  std::string folder = folder_of(target), prefix = name_of(target) + ".tmp.";
  DIR *d = opendir(folder.c_str());
  if (!d) return;
  while (struct dirent *e = readdir(d)) {
    std::string_view name = e->d_name;
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    pid_t pid = temporary_owner(name.substr(prefix.size()));
    if (pid <= 0) continue;
    if (pid == getpid() || (kill(pid, 0) != 0 && errno == ESRCH)) unlinkat(dirfd(d), e->d_name, 0);
  }
  closedir(d);
}

// The permission bits, owner and group of the file being replaced go to the
// temporary file; a new file gets new_mode. Returns 0, or -1 with errno set.
int take_attributes(int fd, const struct stat *old, int new_mode) {
  if (!old) {
    mode_t mode;
    if (new_mode >= 0) {
      mode = static_cast<mode_t>(new_mode) & 07777;
    } else {
      mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    return fchmod(fd, mode);
  }
  struct stat mine;
  if (fstat(fd, &mine) != 0) return -1;
  if ((mine.st_uid != old->st_uid || mine.st_gid != old->st_gid) &&
      fchown(fd, old->st_uid, old->st_gid) != 0)
    return -1;
  return fchmod(fd, old->st_mode & 07777);  // after fchown, which clears set-id bits
}

// The directory entry of the rename reaches the disk too.
void sync_directory(const std::string &path) {
  int fd = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// What a save of path checks before it writes anything: the file it
// writes (links followed) and, when that exists, its attributes in *old;
// it must not be a folder, and a regular file must open for writing, as it
// would when written in place. Returns 0, or -1 with errno set.
// With follow false, path itself is the target and whatever is there (but
// a folder) counts as no file: the save puts a new file of its own in its
// place, taking nothing from what was there.
int prepare_target(const char *path, std::string *target, struct stat *old, bool *exists,
                   bool follow = true) {
  if (follow) {
    if (save_target(path, target) < 0) return -1;
    *exists = stat(target->c_str(), old) == 0;
  } else {
    *target = path;
    *exists = false;
    if (lstat(path, old) == 0 && S_ISDIR(old->st_mode)) {
      errno = EISDIR;
      return -1;
    }
  }
  if (!*exists) return 0;
  if (S_ISDIR(old->st_mode)) {
    errno = EISDIR;
    return -1;
  }
  if (S_ISREG(old->st_mode)) {
    int fd = open(target->c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    close(fd);
  }
  return 0;
}

// replace_file and replace_log_file: follow says whether a link at path is
// followed to its final target or replaced itself.
int replace(const char *path, std::string_view text, bool durable, int new_mode, bool follow) {
  std::string target;
  struct stat old;
  bool exists;
  if (prepare_target(path, &target, &old, &exists, follow) < 0) return -1;

  remove_stale_temporaries(target);
  // An unpredictable name, so that nothing put there beforehand can be in
  // the way; the writer's id in it tells a later save whether it still runs.
  std::string tmp = target + ".tmp." + std::to_string(getpid()) + "." + std::string(TEMPORARY_SUFFIX);
  int fd = mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  // Past a file-size limit, write fails with EFBIG instead of killing us.
  struct sigaction ignore = {}, was = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &was);
  int rc = take_attributes(fd, exists ? &old : nullptr, new_mode);
  if (rc == 0) rc = write_all(fd, text);
  if (rc == 0 && durable) rc = fsync(fd);
  int err = errno;
  sigaction(SIGXFSZ, &was, nullptr);
  if (close(fd) != 0 && rc == 0) {
    rc = -1;
    err = errno;
  }
  if (rc == 0 && rename(tmp.c_str(), target.c_str()) != 0) {
    rc = -1;
    err = errno;
  }
  if (rc != 0) {
    unlink(tmp.c_str());
    errno = err;
    return -1;
  }
  if (durable) sync_directory(target);
  return 0;
}

}  // namespace

int replace_file(const char *path, std::string_view text, bool durable, int new_mode) {
  return replace(path, text, durable, new_mode, true);
}

int replace_log_file(const char *path, std::string_view text) {
  return replace(path, text, false, -1, false);
}

int create_log_file(const char *path) {
  // Whatever is removed, another process may put something there again
  // before the file is made; then it is removed again, a few times at most.
  for (int tries = 0; tries < 10; tries++) {
    struct stat st;
    if (lstat(path, &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return -1;
      }
      if (unlink(path) != 0 && errno != ENOENT) return -1;
    }
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;  // errno EEXIST
}

void warn_if_log_folder_open(const char *folder) {
  static bool told = false;
  struct stat st;
  if (told || stat(folder, &st) != 0 || (st.st_mode & (S_IWGRP | S_IWOTH)) == 0) return;
  std::fprintf(stderr, "Warning: %s is writable by other users\n", folder);
  told = true;
}

int check_target_replaceable(const char *path) {
  std::string target;
  struct stat old;
  bool exists;
  if (prepare_target(path, &target, &old, &exists) < 0) return -1;
  return check_replaceable(target.c_str());
}

int check_replaceable(const char *path) {
  std::string tmp = std::string(path) + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return -1;
  close(fd);
  unlink(tmp.c_str());
  return 0;
}

}  // namespace kvl
