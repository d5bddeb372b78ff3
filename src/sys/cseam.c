/* The C seam: plain system calls, or the simulated machine under
 * KVL_SIMROOT when built with KVL_SIMULATOR. */
#define _DEFAULT_SOURCE
#include "cseam.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#if KVL_SIMULATOR

#include "sim/seqsim.h"

#define MAX_SEQ_FDS 16

/* The machine directory, or NULL when the simulation is not active. */
static const char *sim_root(void)
{
    const char *root = getenv("KVL_SIMROOT");
    return root && *root ? root : NULL;
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

static int is_node_file(const char *path)
{
    int major, minor;
    return seqsim_node_read(path, &major, &minor) == 0;
}

/* Counts the opening of a system path against the machine's open faults:
 * 0, or -1 with errno set (the fault's, or EIO when the faults cannot be
 * known). */
static int check_open_faults(const char *root, const char *path)
{
    int lock = seqsim_lock(root);
    if (lock < 0)
        return -1;
    int err = seqsim_fault_count(root, 0, path);
    seqsim_unlock(lock);
    if (err == 0)
        return 0;
    errno = err < 0 ? EIO : err;
    return -1;
}

/* Opens /dev/sequencer of the machine at root: ENOENT without the node,
 * ENODEV while the driver is not loaded, EMFILE when too many are open. */
static int open_sequencer(const char *root, int flags, int mode)
{
    char node[PATH_MAX], synths[PATH_MAX], capture[PATH_MAX];
    if (seqsim_path(root, "/dev/sequencer", node, sizeof node) < 0 ||
        seqsim_path(root, SEQSIM_SYNTHS_FILE, synths, sizeof synths) < 0 ||
        seqsim_path(root, SEQSIM_CAPTURE_FILE, capture, sizeof capture) < 0)
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

static int machine_synths(void *root, int want, char name[KVL_SYNTH_NAME_BYTES])
{
    return seqsim_synths_read(root, want, name);
}

static int machine_fault(void *root, unsigned long code)
{
    return seqsim_fault_count(root, code, NULL);
}

/* Answers a request on a simulated sequencer under the machine's lock and
 * journals it. A journal that cannot be written does not change the answer. */
static int sequencer_request(const char *root, unsigned long request, void *arg)
{
    int lock = seqsim_lock(root);
    if (lock < 0)
        return -1;
    struct seqsim_driver driver = {(void *)root, machine_synths, machine_fault};
    char line[SEQSIM_LINE_BYTES];
    int rc = seqsim_answer(&driver, request, arg, line);
    if (line[0])
        seqsim_journal_append(root, line);
    seqsim_unlock(lock);
    if (rc < 0) {
        errno = -rc;
        return -1;
    }
    return rc;
}

#endif /* KVL_SIMULATOR */

int kvl_cseam_open(const char *path, int flags, int mode)
{
#if KVL_SIMULATOR
    const char *root = sim_root();
    if (root && path && is_system_path(path)) {
        if (check_open_faults(root, path) < 0)
            return -1;
        if (strcmp(path, "/dev/sequencer") == 0)
            return open_sequencer(root, flags, mode);
        char mapped[PATH_MAX];
        if (seqsim_path(root, path, mapped, sizeof mapped) < 0)
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
        if (check_open_faults(root, path) < 0 ||
            seqsim_path(root, path, mapped, sizeof mapped) < 0)
            return NULL;
        return fopen(mapped, mode);
    }
#endif
    return fopen(path, mode);
}
