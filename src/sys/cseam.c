/* The C seam: plain system calls, or the simulated machine under
 * KVL_SIMROOT when built with KVL_SIMULATOR. */
#define _DEFAULT_SOURCE
#include "cseam.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#if KVL_SIMULATOR

#define SEQ_NRSYNTHS 0x2004510AUL
#define SEQ_SYNTH_INFO 0x608C5114UL
#define SYNTH_INFO_DEVICE 32 /* offset of the device number in the record */
#define SYNTH_NAME_BYTES 32  /* the name field at offset 0 */
#define SYNTH_INFO_BYTES 140
#define MAX_SEQ_FDS 16

/* The machine directory, or NULL when the simulation is not active. */
static const char *sim_root(void)
{
    const char *root = getenv("KVL_SIMROOT");
    return root && *root ? root : NULL;
}

/* Writes ROOT followed by rel into out. 0, or -1 with ENAMETOOLONG. */
static int join(const char *root, const char *rel, char *out, size_t outlen)
{
    int n = snprintf(out, outlen, "%s%s", root, rel);
    if (n < 0 || (size_t)n >= outlen) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return 0;
}

/* 1 when path is /dev, /etc or below them. */
static int is_system_path(const char *path)
{
    return (strncmp(path, "/dev", 4) == 0 || strncmp(path, "/etc", 4) == 0) &&
           (path[4] == '/' || path[4] == '\0');
}

/* Open simulated sequencers: the descriptor and the file it was opened on, so
 * that a descriptor closed behind the seam's back and reused is not taken for
 * a sequencer. */
static struct {
    int used;
    int fd;
    dev_t dev;
    ino_t ino;
} seq_fds[MAX_SEQ_FDS];

/* 1 when fd is an open simulated sequencer. */
static int is_sim_sequencer(int fd)
{
    for (int i = 0; i < MAX_SEQ_FDS; i++) {
        if (!seq_fds[i].used || seq_fds[i].fd != fd)
            continue;
        struct stat st;
        if (fstat(fd, &st) == 0 && st.st_dev == seq_fds[i].dev && st.st_ino == seq_fds[i].ino)
            return 1;
        seq_fds[i].used = 0;
        return 0;
    }
    return 0;
}

static void forget_sequencer(int fd)
{
    for (int i = 0; i < MAX_SEQ_FDS; i++)
        if (seq_fds[i].used && seq_fds[i].fd == fd)
            seq_fds[i].used = 0;
}

/* 1 when the file at path is a node file, exactly "KVLSIM-CHR <major>
 * <minor>\n"; 0 when it is anything else or cannot be read. */
static int is_node_file(const char *path)
{
    int fd = open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return 0;
    struct stat st;
    char text[64];
    ssize_t n = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? read(fd, text, sizeof text - 1) : 0;
    close(fd);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    unsigned major, minor;
    char end;
    if (sscanf(text, "KVLSIM-CHR %u %u%c", &major, &minor, &end) != 3 || end != '\n')
        return 0;
    char again[64];
    snprintf(again, sizeof again, "KVLSIM-CHR %u %u\n", major, minor);
    return strcmp(again, text) == 0;
}

/* Opens /dev/sequencer of the machine at root: ENOENT without the node,
 * ENODEV while the driver is not loaded, EMFILE when too many are open. */
static int open_sequencer(const char *root, int flags, int mode)
{
    char node[PATH_MAX], synths[PATH_MAX], capture[PATH_MAX];
    if (join(root, "/dev/sequencer", node, sizeof node) < 0 ||
        join(root, "/sequencer.synths", synths, sizeof synths) < 0 ||
        join(root, "/sequencer.capture", capture, sizeof capture) < 0)
        return -1;
    int accmode = flags & O_ACCMODE;
    if (!is_node_file(node))
        return open(node, flags, mode);
    /* The node's permission bits decide who may open it, as for a device. */
    int check = open(node, accmode);
    if (check < 0)
        return -1;
    close(check);
    if (access(synths, F_OK) != 0) {
        errno = ENODEV;
        return -1;
    }
    int slot = -1;
    for (int i = 0; i < MAX_SEQ_FDS && slot < 0; i++)
        if (!seq_fds[i].used)
            slot = i;
    if (slot < 0) {
        errno = EMFILE;
        return -1;
    }
    /* What is written lands in the capture file; a read-only sequencer
     * refuses writes like the device would. */
    int cflags = (accmode == O_RDONLY ? O_RDONLY : O_WRONLY | O_APPEND) | O_CREAT |
                 (flags & O_CLOEXEC);
    int fd = open(capture, cflags, 0644);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        int e = errno;
        close(fd);
        errno = e;
        return -1;
    }
    seq_fds[slot].used = 1;
    seq_fds[slot].fd = fd;
    seq_fds[slot].dev = st.st_dev;
    seq_fds[slot].ino = st.st_ino;
    return fd;
}

static const char *errno_name(int e)
{
    switch (e) {
    case EINVAL: return "EINVAL";
    case ENXIO: return "ENXIO";
    case ENODEV: return "ENODEV";
    case EFAULT: return "EFAULT";
    case EIO: return "EIO";
    case ENOENT: return "ENOENT";
    case EACCES: return "EACCES";
    case ENOMEM: return "ENOMEM";
    default: return "EIO";
    }
}

/* Appends text to out as a JSON string body: quote, backslash and every byte
 * outside printable ASCII are escaped. out holds at least 6 * strlen + 1. */
static void json_escape(const char *text, char *out)
{
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        if (*p == '"' || *p == '\\') {
            *out++ = '\\';
            *out++ = (char)*p;
        } else if (*p < 0x20 || *p >= 0x7f) {
            out += sprintf(out, "\\u%04x", *p);
        } else {
            *out++ = (char)*p;
        }
    }
    *out = '\0';
}

/* Appends one line to the journal; the caller holds the lock. A journal that
 * cannot be written does not change the answer. */
static void journal(const char *root, const char *line)
{
    char path[PATH_MAX];
    if (join(root, "/journal.jsonl", path, sizeof path) < 0)
        return;
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0)
        return;
    size_t len = strlen(line);
    ssize_t n = write(fd, line, len);
    (void)n;
    close(fd);
}

/* Reads the synthesizer list: the number of lines, and in name the line with
 * index want (truncated to the record's name field) when it exists. -1 with
 * ENODEV while the driver is not loaded. */
static int read_synths(const char *root, int want, char name[SYNTH_NAME_BYTES])
{
    char path[PATH_MAX];
    if (join(root, "/sequencer.synths", path, sizeof path) < 0)
        return -1;
    FILE *f = fopen(path, "r");
    if (!f) {
        errno = ENODEV;
        return -1;
    }
    int count = 0;
    char *line = NULL;
    size_t cap = 0;
    ssize_t len;
    while ((len = getline(&line, &cap, f)) >= 0) {
        if (len > 0 && line[len - 1] == '\n')
            line[--len] = '\0';
        if (count == want) {
            strncpy(name, line, SYNTH_NAME_BYTES - 1);
            name[SYNTH_NAME_BYTES - 1] = '\0';
        }
        if (count < INT32_MAX)
            count++;
    }
    free(line);
    fclose(f);
    return count;
}

/* Answers a request on a simulated sequencer under the machine's lock and
 * journals it. */
static int sequencer_request(const char *root, unsigned long request, void *arg)
{
    char lockpath[PATH_MAX];
    if (join(root, "/.lock", lockpath, sizeof lockpath) < 0)
        return -1;
    int lock = open(lockpath, O_RDWR | O_CREAT, 0644);
    if (lock < 0)
        return -1;
    if (flock(lock, LOCK_EX) != 0) {
        int e = errno;
        close(lock);
        errno = e;
        return -1;
    }
    char line[512], escaped[SYNTH_NAME_BYTES * 6 + 1];
    char name[SYNTH_NAME_BYTES] = "";
    int result = 0, err = 0;
    if (request != SEQ_NRSYNTHS && request != SEQ_SYNTH_INFO) {
        err = EINVAL;
        snprintf(line, sizeof line,
                 "{\"request\":\"unknown request\",\"result\":-1,\"errno\":\"EINVAL\","
                 "\"code\":\"0x%08lx\"}\n",
                 request);
    } else if (!arg) {
        err = EFAULT;
        snprintf(line, sizeof line, "{\"request\":\"%s\",\"result\":-1,\"errno\":\"EFAULT\"}\n",
                 request == SEQ_NRSYNTHS ? "SNDCTL_SEQ_NRSYNTHS" : "SNDCTL_SYNTH_INFO");
    } else if (request == SEQ_NRSYNTHS) {
        int count = read_synths(root, -1, name);
        if (count < 0) {
            err = errno;
            snprintf(line, sizeof line,
                     "{\"request\":\"SNDCTL_SEQ_NRSYNTHS\",\"result\":-1,\"errno\":\"%s\"}\n",
                     errno_name(err));
        } else {
            int32_t n = count;
            memcpy(arg, &n, sizeof n);
            snprintf(line, sizeof line,
                     "{\"request\":\"SNDCTL_SEQ_NRSYNTHS\",\"result\":0,\"errno\":null,"
                     "\"synths\":%d}\n",
                     count);
        }
    } else {
        int32_t device;
        memcpy(&device, (char *)arg + SYNTH_INFO_DEVICE, sizeof device);
        int count = read_synths(root, device, name);
        if (count >= 0 && (device < 0 || device >= count)) {
            count = -1;
            errno = ENXIO;
        }
        if (count < 0) {
            err = errno;
            snprintf(line, sizeof line,
                     "{\"request\":\"SNDCTL_SYNTH_INFO\",\"result\":-1,\"errno\":\"%s\","
                     "\"device\":%d}\n",
                     errno_name(err), (int)device);
        } else {
            memset(arg, 0, SYNTH_INFO_BYTES);
            memcpy(arg, name, strlen(name));
            memcpy((char *)arg + SYNTH_INFO_DEVICE, &device, sizeof device);
            json_escape(name, escaped);
            snprintf(line, sizeof line,
                     "{\"request\":\"SNDCTL_SYNTH_INFO\",\"result\":0,\"errno\":null,"
                     "\"device\":%d,\"name\":\"%s\"}\n",
                     (int)device, escaped);
        }
    }
    journal(root, line);
    flock(lock, LOCK_UN);
    close(lock);
    if (err) {
        errno = err;
        result = -1;
    }
    return result;
}

#endif /* KVL_SIMULATOR */

int kvl_cseam_open(const char *path, int flags, int mode)
{
#if KVL_SIMULATOR
    const char *root = sim_root();
    if (root && path && is_system_path(path)) {
        if (strcmp(path, "/dev/sequencer") == 0)
            return open_sequencer(root, flags, mode);
        char mapped[PATH_MAX];
        if (join(root, path, mapped, sizeof mapped) < 0)
            return -1;
        /* Only the sequencer is served here; writing into another node
         * file would destroy it. */
        if (is_node_file(mapped)) {
            errno = ENXIO;
            return -1;
        }
        return open(mapped, flags, mode);
    }
#endif
    return open(path, flags, mode);
}

int kvl_cseam_close(int fd)
{
#if KVL_SIMULATOR
    forget_sequencer(fd);
#endif
    return close(fd);
}

ssize_t kvl_cseam_read(int fd, void *buf, size_t n)
{
#if KVL_SIMULATOR
    if (sim_root() && is_sim_sequencer(fd))
        return 0;
#endif
    return read(fd, buf, n);
}

ssize_t kvl_cseam_write(int fd, const void *buf, size_t n)
{
    /* A simulated sequencer is the capture file opened for appending. */
    return write(fd, buf, n);
}

int kvl_cseam_ioctl(int fd, unsigned long request, void *arg)
{
#if KVL_SIMULATOR
    const char *root = sim_root();
    if (root && is_sim_sequencer(fd))
        return sequencer_request(root, request, arg);
#endif
    return ioctl(fd, request, arg);
}

FILE *kvl_cseam_fopen(const char *path, const char *mode)
{
#if KVL_SIMULATOR
    const char *root = sim_root();
    if (root && path && is_system_path(path)) {
        char mapped[PATH_MAX];
        if (join(root, path, mapped, sizeof mapped) < 0)
            return NULL;
        return fopen(mapped, mode);
    }
#endif
    return fopen(path, mode);
}
