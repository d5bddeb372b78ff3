// The driver's device files under /dev: nodes with the driver's current major
// number and the conventional unnumbered names as symbolic links, which keep
// pointing to the right node when it is re-created with a new number.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "common/common.h"
#include "control/control.h"
#include "driver/driver.h"
#include "entry/entry.h"
#include "start/devfiles.h"
#include "start/startup.h"
#include "sys/sys.h"

namespace kvl {

namespace {

constexpr mode_t kOpenMode = S_IFCHR | 0666;
constexpr mode_t kSecureMode = S_IFCHR | 0622;  // play, but not record

// Creates the node; prints what failed. Returns 0 or -1.
int create_node(const char *path, mode_t mode, unsigned dev, bool replacing) {
  if (sys_mknod(path, mode & S_IFMT, dev) == 0) return 0;
  int e = errno;
  if (replacing) {
    std::printf("mk_sp_file: mknod failed for %s\n", path);
    std::fprintf(stderr, "mk_sp_file: mknod failed for %s\n", path);
  } else {
    std::printf("mk_sp_file: mknod failed\n");
    std::fprintf(stderr, "mk_sp_file: mknod failed\n");
  }
  print_error(path, e);
  return -1;
}

// Makes prefix a symbolic link to target, leaving an existing prefix alone;
// unless secure audio is on, opens its mode (that of the node it names).
void make_link(StartupRun &run, const char *target, const char *prefix) {
  sys_symlink(target, prefix);
  if (!run.apply.secure_audio) sys_chmod(prefix, 0666);
}

// Gives the node its permission bits, whatever the umask left of them.
int set_mode(const char *path, mode_t mode) {
  if (sys_chmod(path, mode & 07777) != 0) {
    std::printf("mk_sp_file: chmod failed\n");
    return -1;
  }
  return 0;
}

}  // namespace

int mk_sp_file(CoreRun &run, int minor, const char *path, mode_t mode) {
  unsigned dev = (static_cast<unsigned>(run.control.major) << 8) | static_cast<unsigned>(minor);
  // Most nodes are new and made at once; only when that fails is the path
  // looked at, which then goes as it always did (and reports what failed).
  if (sys_mknod(path, mode & S_IFMT, dev) == 0) return set_mode(path, mode);
  struct stat st;
  if (sys_stat(path, &st) != 0) {
    if (errno != ENOENT) {
      int e = errno;
      std::printf("mk_sp_file: stat '%s' failed\n", path);
      std::fprintf(stderr, "mk_sp_file: stat '%s' failed, errno=%d\n", path, e);
      print_error(path, e);
      return -1;
    }
    if (create_node(path, mode, dev, false) < 0) return -1;
  } else if (st.st_rdev != dev) {
    if (sys_unlink(path) != 0) {
      std::printf("mk_sp_file: unlink failed\n");
      std::fprintf(stderr, "mk_sp_file: unlink failed\n");
      return -1;
    }
    if (create_node(path, mode, dev, true) < 0) return -1;
  }
  return set_mode(path, mode);
}

void make_device_series(StartupRun &run, int base_minor, const char *prefix, const char *fmt, mode_t mode,
                        int count) {
  int n = count < 0 ? -count : count;
  std::string first;
  for (int i = 0; i < n; i++) {
    char number[16];
    std::snprintf(number, sizeof number, fmt, i);
    std::string name = std::string(prefix) + number;
    if (i == 0) first = name;
    mk_sp_file(run.core, base_minor + 16 * i, name.c_str(), mode);
  }
  if (count > 0) make_link(run, first.c_str(), prefix);
}

void make_device_files(StartupRun &run) {
  mode_t audio = run.apply.secure_audio ? kSecureMode : kOpenMode;
  make_device_series(run, 0, "/dev/mixer", "%1d", kOpenMode, 8);
  make_device_series(run, 3, "/dev/dsp", "%1d", audio, NAMED_AUDIO_DEVICES);
  make_device_series(run, 4, "/dev/audio", "%1d", audio, -NAMED_AUDIO_DEVICES);
  make_device_series(run, 5, "/dev/dspW", "%1d", audio, NAMED_AUDIO_DEVICES);
  mk_sp_file(run.core, 6, "/dev/sndstat", kOpenMode);
  sys_symlink("/dev/dsp", "/dev/dmdsp0");
  if (run.apply.dspx) {
    // Classes 10, 11 and 12 carry /dev/dsp16..31, 32..47 and 48..63.
    for (int n = NAMED_AUDIO_DEVICES; n < 64; n++) {
      char path[32];
      std::snprintf(path, sizeof path, "/dev/dsp%d", n);
      mk_sp_file(run.core, (n % 16) * 16 + 10 + (n - 16) / 16, path, audio);
    }
  }
  mk_sp_file(run.core, 8, "/dev/music", kOpenMode);
  mk_sp_file(run.core, 1, "/dev/sequencer", kOpenMode);
  make_link(run, "/dev/music", "/dev/sequencer2");
  mk_sp_file(run.core, 7, "/dev/dmfm0", kOpenMode);
  make_device_series(run, 2, "/dev/midi", "%02d", kOpenMode, 8);
  sys_symlink("/dev/midi", "/dev/dmmidi0");
}

void query_sysinfo(StartupRun &run) {
  SysInfo info = {};
  if (control_send(run.core.control, KVL_SYSINFO, &info) < 0) {
    print_error(request_label(KVL_SYSINFO));
    return;
  }
  if (info.numaudios > NAMED_AUDIO_DEVICES) run.apply.dspx = 1;
}

}  // namespace kvl
