/* The core of the seam to the operating system, shared by both languages:
 * the C++ programs' wrappers (sys/sys.h) and KVLlib's (sys/cseam.h) call the
 * operations of the one backend chosen here, and a system path maps into a
 * simulated machine by one function.
 *
 * Two backends: the native one (the plain system calls, device numbers in the
 * driver's encoding, (major << 8) | minor) and, built in with KVL_SIMULATOR,
 * the simulated one: /dev and /etc map into a machine directory, device nodes
 * are regular files (format in sim/seqsim.h), and what a device answers comes
 * from a simulated driver. The C++ programs' driver is the simulator
 * (kvl_sim); KVLlib's, which must link into C programs, answers the sequencer
 * alone (sim/seqsim.c).
 *
 * A program's entry chooses the backend (kvl_seam_use_environment); a test
 * may choose a machine for each test. A seam used before any choice chooses
 * as a program's entry would (kvl_seam). One choice holds for the whole
 * process, for both languages.
 *
 * Every operation returns like the call it wraps: a descriptor, a count or 0
 * on success, -1 (or NULL) with errno set on failure. None prints anything. */
#ifndef KVL_SEAM_H
#define KVL_SEAM_H

#include <stddef.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One backend. */
struct kvl_seam_ops {
    int (*open)(const char *path, int flags, mode_t mode);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void *buf, size_t n);
    ssize_t (*write)(int fd, const void *buf, size_t n);
    int (*ioctl)(int fd, unsigned long request, void *arg);
    /* st_rdev of a device in the driver's encoding. */
    int (*fstat)(int fd, struct stat *st);
    int (*stat)(const char *path, struct stat *st);
    int (*lstat)(const char *path, struct stat *st);
    /* mode: S_IFCHR and the permission bits; dev: (major << 8) | minor. */
    int (*mknod)(const char *path, mode_t mode, unsigned dev);
    int (*chmod)(const char *path, mode_t mode);
    int (*unlink)(const char *path);
    int (*symlink)(const char *target, const char *path);
    int (*link)(const char *oldpath, const char *newpath);
    void (*sync)(void);
    FILE *(*fopen)(const char *path, const char *mode);
};

/* What the simulated backend asks of a simulated driver. root is the machine
 * directory; minor the number of the device node a descriptor was opened
 * on. Each returns like the operation it serves. */
struct kvl_seam_driver {
    /* The opening of a system path, before it is opened: the machine's open
     * faults and what the driver says of the node (major and minor -1 for a
     * path that is no node). 0, or -1 with errno set. */
    int (*open_check)(const char *root, const char *syspath, int major, int minor);
    /* Opens the node file real of the node syspath: the descriptor that then
     * stands for the device. */
    int (*open_device)(const char *root, const char *syspath, const char *real, int major,
                       int minor, int flags, mode_t mode);
    ssize_t (*read)(const char *root, int fd, int minor, void *buf, size_t n);
    ssize_t (*write)(const char *root, int fd, int minor, const void *buf, size_t n);
    int (*ioctl)(const char *root, int fd, int minor, unsigned long request, void *arg);
    /* A file-system flush, which the simulation journals. */
    int (*sync)(const char *root);
};

/* Chooses the native backend. */
void kvl_seam_use_native(void);
/* Chooses the simulated machine at root (as kvl_seam_resolve_root gives it)
 * answered by driver. 0; -1 with EINVAL for an empty root, ENAMETOOLONG, or
 * ENOTSUP in a build without the simulator; the choice is then unchanged. */
int kvl_seam_use_machine(const char *root, const struct kvl_seam_driver *driver);
/* A program's choice: the machine KVL_SIMROOT names when it is set and not
 * empty (and the build has the simulator), else the native backend. Returns
 * like kvl_seam_use_machine. */
int kvl_seam_use_environment(const struct kvl_seam_driver *driver);
/* The chosen backend's operations. When none is chosen yet, chooses first as
 * kvl_seam_use_environment(driver) does; NULL with errno set when that
 * fails. */
const struct kvl_seam_ops *kvl_seam(const struct kvl_seam_driver *driver);
/* The chosen machine directory; NULL while the native backend is chosen or
 * none is. */
const char *kvl_seam_root(void);

/* The machine directory a program is given, as it stands for the rest of the
 * run: a relative one is taken from the working directory now (a later chdir
 * must not move the machine), trailing slashes are dropped. -1 with
 * ENAMETOOLONG when it does not fit in cap. */
int kvl_seam_resolve_root(const char *given, char *out, size_t cap);
/* 1 for /dev, /etc and the paths below them. */
int kvl_seam_system_path(const char *path);
/* The path on this machine that stands for path: under root for a system
 * path, path itself otherwise (and always when root is NULL). -1 with
 * ENAMETOOLONG when it does not fit in cap. */
int kvl_seam_map_path(const char *root, const char *path, char *out, size_t cap);

#ifdef __cplusplus
}
#endif

#endif
