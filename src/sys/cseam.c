/* KVLlib's seam: the seam core's operations, the backend chosen at the first
 * call, and with KVL_SIMULATOR the library's simulated driver, which answers
 * /dev/sequencer through the simulator's C module. */
#define _DEFAULT_SOURCE
#include "cseam.h"

#include "sys/seam.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <unistd.h>

#if KVL_SIMULATOR

#include "sim/seqsim.h"

/* Counts the opening of a system path against the machine's open faults:
 * 0, or -1 with errno set (the fault's, or EIO when the faults cannot be
 * known). */
static int seq_open_check(const char *root, const char *syspath, int major, int minor)
{
    (void)major, (void)minor;
    int lock = seqsim_lock(root);
    if (lock < 0)
        return -1;
    int err = seqsim_fault_count(root, 0, syspath);
    seqsim_unlock(lock);
    if (err == 0)
        return 0;
    errno = err < 0 ? EIO : err;
    return -1;
}

/* Opens /dev/sequencer of the machine at root: ENODEV while the driver is
 * not loaded. Any other node is not served here: writing into its node file
 * would destroy it. */
static int seq_open_device(const char *root, const char *syspath, const char *real, int major,
                           int minor, int flags, mode_t mode)
{
    (void)major, (void)minor, (void)mode;
    char synths[PATH_MAX], capture[PATH_MAX];
    if (strcmp(syspath, "/dev/sequencer") != 0) {
        errno = ENXIO;
        return -1;
    }
    if (seqsim_path(root, SEQSIM_SYNTHS_FILE, synths, sizeof synths) < 0 ||
        seqsim_path(root, SEQSIM_CAPTURE_FILE, capture, sizeof capture) < 0)
        return -1;
    /* The node's permission bits decide who may open it, as for a device. */
    int accmode = flags & O_ACCMODE;
    int check = open(real, accmode);
    if (check < 0)
        return -1;
    close(check);
    if (access(synths, F_OK) != 0) {
        errno = ENODEV;
        return -1;
    }
    /* What is written lands in the capture file; a read-only sequencer
     * refuses writes like the device would. */
    int cflags = (accmode == O_RDONLY ? O_RDONLY : O_WRONLY | O_APPEND) | O_CREAT |
                 (flags & O_CLOEXEC);
    return open(capture, cflags, 0644);
}

/* The sequencer has no input. */
static ssize_t seq_read(const char *root, int fd, int minor, void *buf, size_t n)
{
    (void)root, (void)fd, (void)minor, (void)buf, (void)n;
    return 0;
}

/* The descriptor is the capture file, opened for appending. */
static ssize_t seq_write(const char *root, int fd, int minor, const void *buf, size_t n)
{
    (void)root, (void)minor;
    return write(fd, buf, n);
}

static int machine_synths(void *root, int want, char name[KVL_SYNTH_NAME_BYTES])
{
    return seqsim_synths_read(root, want, name);
}

static int machine_fault(void *root, unsigned long code)
{
    return seqsim_fault_count(root, code, NULL);
}

/* Answers a request on the sequencer under the machine's lock and journals
 * it. A journal that cannot be written does not change the answer. */
static int seq_ioctl(const char *root, int fd, int minor, unsigned long request, void *arg)
{
    (void)fd, (void)minor;
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

static int seq_sync(const char *root)
{
    int lock = seqsim_lock(root);
    if (lock < 0)
        return -1;
    int rc = seqsim_journal_append(root, "{\"request\":\"sync\"}\n");
    seqsim_unlock(lock);
    return rc;
}

static const struct kvl_seam_driver sequencer_driver = {
    seq_open_check, seq_open_device, seq_read, seq_write, seq_ioctl, seq_sync,
};
#define DRIVER (&sequencer_driver)

#else
#define DRIVER NULL
#endif /* KVL_SIMULATOR */

/* The chosen backend; a program that chose none chooses at its first call
 * (the opening of /dev/sequencer, as a rule) from the environment. NULL with
 * errno set when that choice fails. */
static const struct kvl_seam_ops *seam(void) { return kvl_seam(DRIVER); }

int kvl_cseam_open(const char *path, int flags, int mode)
{
    const struct kvl_seam_ops *s = seam();
    return s ? s->open(path, flags, (mode_t)mode) : -1;
}

int kvl_cseam_close(int fd)
{
    const struct kvl_seam_ops *s = seam();
    return s ? s->close(fd) : -1;
}

ssize_t kvl_cseam_read(int fd, void *buf, size_t n)
{
    const struct kvl_seam_ops *s = seam();
    return s ? s->read(fd, buf, n) : -1;
}

ssize_t kvl_cseam_write(int fd, const void *buf, size_t n)
{
    const struct kvl_seam_ops *s = seam();
    return s ? s->write(fd, buf, n) : -1;
}

int kvl_cseam_ioctl(int fd, unsigned long request, void *arg)
{
    const struct kvl_seam_ops *s = seam();
    return s ? s->ioctl(fd, request, arg) : -1;
}

FILE *kvl_cseam_fopen(const char *path, const char *mode)
{
    const struct kvl_seam_ops *s = seam();
    return s ? s->fopen(path, mode) : NULL;
}

int kvl_cseam_use_environment(void) { return kvl_seam_use_environment(DRIVER); }

int kvl_cseam_use_machine(const char *root) { return kvl_seam_use_machine(root, DRIVER); }
