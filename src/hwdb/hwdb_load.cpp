// Loading etc/config.dat: a feeder process descrambles the file into pipe B,
// the `uncompress` command (found through PATH) turns it into the database
// stream on pipe A, and the loader parses that stream into the model.
#include "hwdb/hwdb.h"
#include "hwdb/hwdb_parse.h"
#include "hwdb/hwdb_scramble.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>

namespace kvl {
namespace {

// The feeder's reads of the file: a few large ones, so that the file crosses
// into pipe B in few system calls.
constexpr int BLOCK = 64 * 1024;

// Lets a pipe hold up to 1 MB where the system allows it, so that the
// database crosses it in a few large transfers instead of many 64 KB ones
// (each a switch between writer and reader). Nothing changes where it does
// not.
void widen_pipe(int fd) {
#ifdef F_SETPIPE_SZ
  fcntl(fd, F_SETPIPE_SZ, 1 << 20);
#else
  (void)fd;
#endif
}

// Exit statuses between the loader's own processes.
constexpr int NO_DECOMPRESSOR = 127;  // the decompressor: uncompress could not be run
constexpr int FEED_DAMAGED = 3;       // the feeder: uncompress ran and failed

// Waits for pid. Returns its exit status, 128 + the signal that ended it, or
// -1 when it cannot be waited for.
int exit_status(pid_t pid) {
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  if (r != pid) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// The decompressor: pipe B on standard input, pipe A on standard output.
[[noreturn]] void run_decompressor(const int b[2], int a_write) {
  if (dup2(b[0], 0) < 0 || dup2(a_write, 1) < 0) {
    std::perror("dup");
    _exit(255);
  }
  close(b[0]);
  close(b[1]);
  close(a_write);
  execlp("uncompress", "uncompress", static_cast<char *>(nullptr));
  std::perror("exec");
  std::fputs("Can't execute 'uncompress' command.\n", stderr);
  std::fputs("Ensure your PATH variable is set correctly.\n", stderr);
  _exit(NO_DECOMPRESSOR);
}

// The feeder: starts the decompressor and sends it the descrambled file.
[[noreturn]] void run_feeder(const char *path, int a_write) {
  int b[2];
  if (pipe(b) < 0) {
    std::perror("pipe2");
    _exit(255);
  }
  widen_pipe(b[1]);
  pid_t dec = fork();
  if (dec < 0) {
    std::perror("fork2");
    _exit(255);
  }
  if (dec == 0) run_decompressor(b, a_write);
  close(b[0]);
  close(a_write);

  int fd = open(path, O_RDONLY);
  if (fd < 0) {
    std::perror(path);
    _exit(255);
  }
  struct stat st;
  if (fstat(fd, &st) < 0) {
    std::perror("fstat");
    _exit(255);
  }
  HwdbScrambler s;
  hwdb_scrambler_init(&s, static_cast<uint64_t>(st.st_size));
  unsigned char block[BLOCK];
  for (;;) {
    ssize_t r = read(fd, block, sizeof block);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      std::perror("read");
      _exit(255);
    }
    if (r == 0) break;
    hwdb_scramble(&s, block, static_cast<size_t>(r));
    for (ssize_t sent = 0; sent < r;) {
      ssize_t w = write(b[1], block + sent, static_cast<size_t>(r - sent));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        std::perror("write");
        _exit(255);
      }
      sent += w;
    }
  }
  close(fd);
  close(b[1]);
  // A command that could not be run is a missing uncompress; one that ran
  // and failed (its own message came first) was given a damaged file.
  int status = exit_status(dec);
  if (status == 0) _exit(0);
  std::fputs("Uncompressing config.dat failed\n", stderr);
  if (status == NO_DECOMPRESSOR || status < 0) {
    std::fputs("You don't seem to have uncompress command properly installed.\n", stderr);
    _exit(255);
  }
  if (status > 128)
    std::fprintf(stderr, "uncompress ended by signal %d\n", status - 128);
  else
    std::fprintf(stderr, "uncompress ended with exit status %d\n", status);
  _exit(FEED_DAMAGED);
}

ssize_t read_fd(void *ctx, void *buf, size_t n) {
  int fd = *static_cast<int *>(ctx);
  ssize_t r;
  do {
    r = read(fd, buf, n);
  } while (r < 0 && errno == EINTR);
  return r;
}

// Reads the rest of the stream, so that a decompressor with more to write
// than the sections take can finish instead of blocking on a full pipe.
void drain(int fd) {
  char sink[4096];
  while (read_fd(&fd, sink, sizeof sink) > 0) {
  }
}

// Puts the damaged-file line in place of the decompressor hint at the end of
// err. Without the hint the stream's own message says what is wrong; a
// failed uncompress still gets the line.
void say_damaged(const char *path, int fed, std::string *err) {
  size_t hint = err->rfind(HWDB_DECOMPRESSOR_HINT);
  if (hint == std::string::npos && fed != FEED_DAMAGED) return;
  if (hint != std::string::npos) err->erase(hint);
  *err += path;
  *err += fed == FEED_DAMAGED ? ": damaged file: uncompress cannot read it\n"
                              : ": damaged file: it does not decompress to a hardware database\n";
}

}  // namespace

int hwdb_load(const char *path, HwdbModel *model, std::string *err) {
  *model = HwdbModel{};
  err->clear();
  std::fflush(stdout);
  std::fflush(stderr);
  int a[2];
  if (pipe(a) < 0) {
    *err = std::string("pipe: ") + std::strerror(errno) + "\n";
    return -1;
  }
  widen_pipe(a[1]);
  pid_t feeder = fork();
  if (feeder < 0) {
    *err = std::string("fork: ") + std::strerror(errno) + "\n";
    close(a[0]);
    close(a[1]);
    return -1;
  }
  if (feeder == 0) {
    close(a[0]);
    run_feeder(path, a[1]);
  }
  close(a[1]);

  int rc = hwdb_parse({read_fd, &a[0]}, path, model, err);
  drain(a[0]);
  int fed = exit_status(feeder);
  close(a[0]);
  if (rc != 0) {
    // uncompress ran: whatever the stream lacks, the file is damaged, and the
    // parser's hint at a missing uncompress would mislead.
    if (fed == 0 || fed == FEED_DAMAGED) say_damaged(path, fed, err);
    return -1;
  }
  if (fed != 0) {
    hwdb_model_free(model);
    err->clear();
    if (fed == FEED_DAMAGED) say_damaged(path, fed, err);
    *err += "Loading config.dat failed\n";
    return -1;
  }
  return 0;
}

}  // namespace kvl
