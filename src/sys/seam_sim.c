/* The simulated backend: system paths map into the chosen machine, device
 * nodes are node files (sim/seqsim.h), and the descriptors opened on them are
 * answered by the chosen driver. Everything else goes to the native backend. */
#define _DEFAULT_SOURCE
#include "sys/seam.h"

#include "sim/seqsim.h"
#include "sys/seam_private.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <string.h>
#include <unistd.h>

#define NATIVE kvl_seam_native_ops
#define MAX_DEVICES 64

/* A descriptor opened on a node: the device it stands for, and the file it
 * was opened on, so that a descriptor closed behind the seam's back and
 * reused is not taken for the device. */
static struct device {
    int used;
    int fd;
    int major;
    int minor;
    dev_t dev;
    ino_t ino;
} devices[MAX_DEVICES];
static int devices_open;

static const char *root(void) { return kvl_seam_root(); }
static const struct kvl_seam_driver *driver(void) { return kvl_seam_chosen_driver(); }

static struct device *device_of(int fd)
{
    for (int i = 0; devices_open > 0 && i < MAX_DEVICES; i++)
        if (devices[i].used && devices[i].fd == fd)
            return &devices[i];
    return NULL;
}

static void forget(struct device *d)
{
    d->used = 0;
    devices_open--;
}

/* d, when st (fd's status) shows its descriptor to be the one opened on the
 * node; else d is forgotten and NULL returned. */
static struct device *still_device(struct device *d, const struct stat *st)
{
    if (!d || (st && st->st_dev == d->dev && st->st_ino == d->ino))
        return d;
    forget(d);
    return NULL;
}

/* The device of fd, once its descriptor is seen to be the one opened. */
static struct device *checked_device_of(int fd)
{
    struct device *d = device_of(fd);
    struct stat st;
    return still_device(d, d && fstat(fd, &st) == 0 ? &st : NULL);
}

/* Remembers fd as the device; closes it with EMFILE when too many are open. */
static int remember(int fd, int major, int minor)
{
    struct stat st;
    int slot = -1;
    for (int i = 0; i < MAX_DEVICES && slot < 0; i++)
        if (!devices[i].used)
            slot = i;
    if (slot < 0 || fstat(fd, &st) != 0) {
        int e = slot < 0 ? EMFILE : errno;
        close(fd);
        errno = e;
        return -1;
    }
    devices[slot] = (struct device){1, fd, major, minor, st.st_dev, st.st_ino};
    devices_open++;
    return fd;
}

/* The status of a node: a character device with its number and the node
 * file's permission bits. */
static void as_node(struct stat *st, int major, int minor)
{
    st->st_mode = S_IFCHR | (st->st_mode & 07777);
    st->st_rdev = ((dev_t)major << 8) | (dev_t)minor;
    st->st_size = 0;
}

static int node_status(const char *real, struct stat *st)
{
    int major = 0, minor = 0;
    if (S_ISREG(st->st_mode) && seqsim_node_read(real, &major, &minor) == 0)
        as_node(st, major, minor);
    return 0;
}

static int mapped(const char *path, char real[PATH_MAX])
{
    return kvl_seam_map_path(root(), path, real, PATH_MAX);
}

static int simulated_open(const char *path, int flags, mode_t mode)
{
    char real[PATH_MAX];
    if (mapped(path, real) < 0)
        return -1;
    if (!kvl_seam_system_path(path))
        return NATIVE.open(real, flags, mode);
    int major = -1, minor = -1;
    int node = seqsim_node_read(real, &major, &minor) == 0;
    if (driver()->open_check(root(), path, major, minor) < 0)
        return -1;
    if (!node)
        return NATIVE.open(real, flags, mode);
    int fd = driver()->open_device(root(), path, real, major, minor, flags, mode);
    return fd < 0 ? -1 : remember(fd, major, minor);
}

static int simulated_close(int fd)
{
    struct device *d = device_of(fd);
    if (d)
        forget(d);
    return NATIVE.close(fd);
}

static ssize_t simulated_read(int fd, void *buf, size_t n)
{
    struct device *d = checked_device_of(fd);
    if (!d)
        return NATIVE.read(fd, buf, n);
    return driver()->read(root(), fd, d->minor, buf, n);
}

/* Not checked against the file it was opened on: writing is the event path
 * of KVLlib, and a descriptor reused behind the seam's back is no device. */
static ssize_t simulated_write(int fd, const void *buf, size_t n)
{
    struct device *d = device_of(fd);
    if (!d)
        return NATIVE.write(fd, buf, n);
    return driver()->write(root(), fd, d->minor, buf, n);
}

static int simulated_ioctl(int fd, unsigned long request, void *arg)
{
    struct device *d = checked_device_of(fd);
    if (!d)
        return NATIVE.ioctl(fd, request, arg);
    return driver()->ioctl(root(), fd, d->minor, request, arg);
}

static int simulated_fstat(int fd, struct stat *st)
{
    if (NATIVE.fstat(fd, st) < 0)
        return -1;
    struct device *d = still_device(device_of(fd), st);
    if (d)
        as_node(st, d->major, d->minor);
    return 0;
}

static int simulated_stat(const char *path, struct stat *st)
{
    char real[PATH_MAX];
    if (mapped(path, real) < 0 || NATIVE.stat(real, st) < 0)
        return -1;
    return node_status(real, st);
}

static int simulated_lstat(const char *path, struct stat *st)
{
    char real[PATH_MAX];
    if (mapped(path, real) < 0 || NATIVE.lstat(real, st) < 0)
        return -1;
    return node_status(real, st);
}

static int simulated_mknod(const char *path, mode_t mode, unsigned dev)
{
    char real[PATH_MAX];
    if (mapped(path, real) < 0)
        return -1;
    if (!S_ISCHR(mode) || !kvl_seam_system_path(path))
        return NATIVE.mknod(real, mode, dev);
    return seqsim_node_make(real, (int)(dev >> 8), (int)(dev & 0xff), mode & 07777);
}

static int simulated_chmod(const char *path, mode_t mode)
{
    char real[PATH_MAX];
    return mapped(path, real) < 0 ? -1 : NATIVE.chmod(real, mode);
}

static int simulated_unlink(const char *path)
{
    char real[PATH_MAX];
    return mapped(path, real) < 0 ? -1 : NATIVE.unlink(real);
}

/* The components of an absolute path, "." left out and ".." taking the one
 * before it back (never past the root); normal is 1 for that, 0 to keep "."
 * and ".." as they stand. Returns the count, -1 beyond max. */
static int components(const char *path, const char *parts[], size_t lens[], int max, int normal)
{
    int n = 0;
    for (const char *p = path; *p;) {
        while (*p == '/')
            p++;
        size_t len = strcspn(p, "/");
        if (len == 0)
            break;
        if (normal && len == 1 && p[0] == '.') {
        } else if (normal && len == 2 && p[0] == '.' && p[1] == '.') {
            if (n > 0)
                n--;
        } else {
            if (n == max)
                return -1;
            parts[n] = p;
            lens[n++] = len;
        }
        p += len;
    }
    return n;
}

/* The target /dev/... as seen from the folder of the link at path (both
 * absolute): "dsp0" for a link /dev/dsp, "../dsp0" for one in /dev/snd; "."
 * for the folder itself. -1 with ENAMETOOLONG when it does not fit. */
static int relative_target(const char *target, const char *path, char *out, size_t cap)
{
    enum { MAX_PARTS = PATH_MAX / 2 };
    static const char *t[MAX_PARTS], *b[MAX_PARTS];
    static size_t tl[MAX_PARTS], bl[MAX_PARTS];
    char folder[PATH_MAX];
    size_t flen = strrchr(path, '/') - path;
    memcpy(folder, path, flen);
    folder[flen] = '\0';
    int nt = components(target, t, tl, MAX_PARTS, 1);
    int nb = components(folder, b, bl, MAX_PARTS, 0);
    int same = 0;
    while (same < nt && same < nb && tl[same] == bl[same] && !memcmp(t[same], b[same], tl[same]))
        same++;
    int up = 0;
    for (int i = same; i < nb; i++) {
        if (bl[i] == 2 && b[i][0] == '.' && b[i][1] == '.')
            up--;
        else if (!(bl[i] == 1 && b[i][0] == '.'))
            up++;
    }
    size_t used = 0;
    out[0] = '\0';
    for (int i = 0; up > 0 && i < up; i++) {
        if (used + 3 >= cap)
            goto long_name;
        memcpy(out + used, "../", 3);
        used += 3;
    }
    for (int i = same; up >= 0 && i < nt; i++) {
        if (used + tl[i] + 1 >= cap)
            goto long_name;
        memcpy(out + used, t[i], tl[i]);
        used += tl[i];
        out[used++] = '/';
    }
    /* The last slash stays where the target names a folder by its form
     * ("/dev/", "/dev/x/.."), as a normalised path keeps it. */
    const char *last = strrchr(target, '/') + 1;
    int folder_form = nt > 0 && (!*last || !strcmp(last, ".") || !strcmp(last, ".."));
    if (used > 0 && !folder_form)
        used--;
    out[used] = '\0';
    if (used == 0)
        strcpy(out, ".");
    return 0;
long_name:
    errno = ENAMETOOLONG;
    return -1;
}

/* A target under /dev is made relative to the link's folder, so that the
 * link resolves inside the machine (and keeps doing so if it moves). */
static int simulated_symlink(const char *target, const char *path)
{
    char real[PATH_MAX], real_target[PATH_MAX];
    if (mapped(path, real) < 0)
        return -1;
    if (!kvl_seam_dev_path(target))
        return NATIVE.symlink(target, real);
    if (!kvl_seam_system_path(path)) {
        if (mapped(target, real_target) < 0)
            return -1;
        return NATIVE.symlink(real_target, real);
    }
    if (relative_target(target, path, real_target, sizeof real_target) < 0)
        return -1;
    return NATIVE.symlink(real_target, real);
}

static int simulated_link(const char *oldpath, const char *newpath)
{
    char a[PATH_MAX], b[PATH_MAX];
    if (mapped(oldpath, a) < 0 || mapped(newpath, b) < 0)
        return -1;
    return NATIVE.link(a, b);
}

static void simulated_sync(void) { driver()->sync(root()); }

static FILE *simulated_fopen(const char *path, const char *mode)
{
    char real[PATH_MAX];
    if (mapped(path, real) < 0)
        return NULL;
    if (kvl_seam_system_path(path) && driver()->open_check(root(), path, -1, -1) < 0)
        return NULL;
    return NATIVE.fopen(real, mode);
}

const struct kvl_seam_ops kvl_seam_simulated_ops = {
    simulated_open,    simulated_close, simulated_read,   simulated_write, simulated_ioctl,
    simulated_fstat,   simulated_stat,  simulated_lstat,  simulated_mknod, simulated_chmod,
    simulated_unlink,  simulated_symlink, simulated_link, simulated_sync,  simulated_fopen,
};
