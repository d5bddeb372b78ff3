/* The C side of the seam to the operating system, used by KVLlib, which
 * links into C programs and must not pull in a C++ runtime. Each function is
 * the seam core's operation (sys/seam.h); the first of them a program calls
 * chooses the backend from the environment unless one is chosen already.
 *
 * KVLlib's simulated driver answers /dev/sequencer from the machine's files
 * (DIR/dev/sequencer node, DIR/sequencer.synths for the synthesizers,
 * DIR/sequencer.capture for what is written, DIR/journal.jsonl for the
 * requests, DIR/faults.txt for the injected faults) by the simulator's C
 * module sim/seqsim.c; opening another device node fails with ENXIO, and
 * every other file opens natively.
 *
 * Every function returns like the call it wraps: a descriptor, a count or 0 on
 * success, -1 (or NULL) with errno set on failure. None prints anything. */
#ifndef KVL_CSEAM_H
#define KVL_CSEAM_H

#include <stddef.h>
#include <stdio.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* open(): /dev and /etc paths mapped when simulated. */
int kvl_cseam_open(const char *path, int flags, int mode);
/* close(). */
int kvl_cseam_close(int fd);
/* read(); a simulated sequencer has no input and returns 0. */
ssize_t kvl_cseam_read(int fd, void *buf, size_t n);
/* write(); on a simulated sequencer the bytes go to DIR/sequencer.capture. */
ssize_t kvl_cseam_write(int fd, const void *buf, size_t n);
/* ioctl(); requests on a simulated sequencer are answered and journalled. */
int kvl_cseam_ioctl(int fd, unsigned long request, void *arg);
/* fopen() of a system file such as /etc/kvl.conf. */
FILE *kvl_cseam_fopen(const char *path, const char *mode);

/* The choice of backend (sys/seam.h), for a program that makes it before
 * its first call: the machine KVL_SIMROOT names (kvl_cseam_use_environment)
 * or, for a test, the simulated machine at root, answered by KVLlib's
 * simulated driver. 0, or -1 with errno set (ENAMETOOLONG; ENOTSUP for a
 * machine in a build without the simulator). */
int kvl_cseam_use_environment(void);
int kvl_cseam_use_machine(const char *root);

#ifdef __cplusplus
}
#endif

#endif
