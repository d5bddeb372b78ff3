/* The seam core: the choice of backend, the one path mapper and the native
 * backend. */
#define _DEFAULT_SOURCE
#include "sys/seam.h"

#include "sys/seam_private.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

/* --- the native backend --- */

/* Device numbers of character and block devices in the driver's encoding. */
static int normalised(int rc, struct stat *st)
{
    if (rc == 0 && (S_ISCHR(st->st_mode) || S_ISBLK(st->st_mode)))
        st->st_rdev = ((dev_t)major(st->st_rdev) << 8) | minor(st->st_rdev);
    return rc;
}

static int native_open(const char *path, int flags, mode_t mode) { return open(path, flags, mode); }
static ssize_t native_read(int fd, void *buf, size_t n) { return read(fd, buf, n); }
static ssize_t native_write(int fd, const void *buf, size_t n) { return write(fd, buf, n); }
static int native_ioctl(int fd, unsigned long request, void *arg) { return ioctl(fd, request, arg); }
static int native_fstat(int fd, struct stat *st) { return normalised(fstat(fd, st), st); }
static int native_stat(const char *path, struct stat *st) { return normalised(stat(path, st), st); }
static int native_lstat(const char *path, struct stat *st) { return normalised(lstat(path, st), st); }
static int native_mknod(const char *path, mode_t mode, unsigned dev)
{
    return mknod(path, mode, makedev(dev >> 8, dev & 0xff));
}

const struct kvl_seam_ops kvl_seam_native_ops = {
    native_open, close,        native_read,  native_write, native_ioctl,
    native_fstat, native_stat, native_lstat, native_mknod, chmod,
    unlink,       symlink,     link,         sync,         fopen,
};

/* --- the choice --- */

/* Nothing chosen until a program's entry, a test or the first operation
 * chooses. */
static struct {
    int made;
    const struct kvl_seam_ops *ops;
    char root[PATH_MAX];
    const struct kvl_seam_driver *driver;
} chosen = {0, &kvl_seam_native_ops, "", NULL};

void kvl_seam_use_native(void)
{
    chosen.made = 1;
    chosen.ops = &kvl_seam_native_ops;
    chosen.root[0] = '\0';
    chosen.driver = NULL;
}

int kvl_seam_use_machine(const char *root, const struct kvl_seam_driver *driver)
{
#if KVL_SIMULATOR
    char resolved[PATH_MAX];
    if (!root || !*root || !driver) {
        errno = EINVAL;
        return -1;
    }
    if (kvl_seam_resolve_root(root, resolved, sizeof resolved) < 0)
        return -1;
    memcpy(chosen.root, resolved, strlen(resolved) + 1);
    chosen.made = 1;
    chosen.ops = &kvl_seam_simulated_ops;
    chosen.driver = driver;
    return 0;
#else
    (void)root, (void)driver;
    errno = ENOTSUP;
    return -1;
#endif
}

int kvl_seam_use_environment(const struct kvl_seam_driver *driver)
{
#if KVL_SIMULATOR
    const char *root = getenv("KVL_SIMROOT");
    if (root && *root)
        return kvl_seam_use_machine(root, driver);
#endif
    (void)driver;
    kvl_seam_use_native();
    return 0;
}

const struct kvl_seam_ops *kvl_seam(const struct kvl_seam_driver *driver)
{
    if (!chosen.made && kvl_seam_use_environment(driver) < 0)
        return NULL;
    return chosen.ops;
}

const char *kvl_seam_root(void) { return chosen.root[0] ? chosen.root : NULL; }

#if KVL_SIMULATOR
const struct kvl_seam_driver *kvl_seam_chosen_driver(void) { return chosen.driver; }
#endif

/* --- paths --- */

int kvl_seam_resolve_root(const char *given, char *out, size_t cap)
{
    char cwd[PATH_MAX];
    const char *head = "", *sep = "";
    if (given[0] != '/' && getcwd(cwd, sizeof cwd)) {
        head = cwd;
        sep = cwd[strlen(cwd) - 1] == '/' ? "" : "/"; /* "/" itself */
    }
    size_t a = strlen(head), b = strlen(sep), c = strlen(given);
    if (a + b + c + 1 > cap) {
        errno = ENAMETOOLONG;
        return -1;
    }
    memcpy(out, head, a);
    memcpy(out + a, sep, b);
    memcpy(out + a + b, given, c + 1);
    for (size_t n = a + b + c; n > 1 && out[n - 1] == '/'; n--)
        out[n - 1] = '\0';
    return 0;
}

static int under(const char *path, const char *dir)
{
    size_t n = strlen(dir);
    return strncmp(path, dir, n) == 0 && (path[n] == '\0' || path[n] == '/');
}

int kvl_seam_system_path(const char *path) { return under(path, "/dev") || under(path, "/etc"); }

int kvl_seam_dev_path(const char *path) { return under(path, "/dev"); }

int kvl_seam_map_path(const char *root, const char *path, char *out, size_t cap)
{
    const char *prefix = root && kvl_seam_system_path(path) ? root : "";
    size_t a = strlen(prefix), b = strlen(path);
    if (a + b + 1 > cap) {
        errno = ENAMETOOLONG;
        return -1;
    }
    memcpy(out, prefix, a);
    memcpy(out + a, path, b + 1);
    return 0;
}
