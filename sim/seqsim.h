/* The simulated /dev/sequencer, shared by the two sides that answer it: the
 * C seam of KVLlib (src/sys/cseam.c, linked by programs built with the C
 * compiler alone) and the C++ simulator (kvl_sim). Plain C11, no C++ runtime.
 *
 * It owns what both sides must agree on byte for byte: the node-file format,
 * the machine's lock, the errno names, the capture file, the synthesizer
 * list, the answer and journal line of a sequencer request, and the fault
 * store, a plain-text file both sides read and count in, since the C side
 * reads no JSON.
 *
 * Functions return 0 (or a count) on success and -1 with errno set on
 * failure unless said otherwise. None prints anything. */
#ifndef KVL_SEQSIM_H
#define KVL_SEQSIM_H

#include "driver/seqcodes.h"

#include <stddef.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Files of a machine directory, as suffixes of its path. */
#define SEQSIM_MACHINE_FILE "/machine.json"
#define SEQSIM_LOCK_FILE "/.lock"
#define SEQSIM_JOURNAL_FILE "/journal.jsonl"
#define SEQSIM_SYNTHS_FILE "/sequencer.synths"
#define SEQSIM_CAPTURE_FILE "/sequencer.capture"
#define SEQSIM_FAULTS_FILE "/faults.txt"

/* out = root followed by file; -1 with ENAMETOOLONG when it does not fit. */
int seqsim_path(const char *root, const char *file, char *out, size_t cap);

/* Errno names, as machine.json, state.json and the journal write them. */
#define SEQSIM_ERRNAME_BYTES 16
/* "EIO" for EIO, ...; for a number without a name, "E<number>" written into
 * buf. */
const char *seqsim_errno_name(int err, char buf[SEQSIM_ERRNAME_BYTES]);
/* The errno a name stands for, or 0 for an unknown name. */
int seqsim_errno_value(const char *name);

/* Device nodes: a regular file holding exactly "KVLSIM-CHR <major> <minor>\n"
 * (decimal), its permission bits being the node's mode. */
/* Reads the node file at a real path: 0 with major/minor set; -1 when the
 * file is missing, unreadable or anything but a node file. */
int seqsim_node_read(const char *file, int *major, int *minor);
/* Creates a node file (EEXIST when something is there) whose mode is perms. */
int seqsim_node_create(const char *file, int major, int minor, mode_t perms);
/* The same as mknod makes a node: its mode is perms less the umask. */
int seqsim_node_make(const char *file, int major, int minor, mode_t perms);

/* The machine's lock: a flock on DIR/.lock, exclusive while state, journal,
 * capture or fault store change, shared while they are only read. A lock
 * held by another process for longer than the wait fails with EBUSY, so a
 * hung process does not hang every other one. Returns the descriptor to pass
 * to seqsim_unlock. */
#define SEQSIM_LOCK_WAIT_MS 10000
int seqsim_lock(const char *root);
int seqsim_lock_wait(const char *root, int shared, int wait_ms);
void seqsim_unlock(int fd);

/* Appends one journal line (ending in a newline) to DIR/journal.jsonl, or
 * bytes written to the sequencer to DIR/sequencer.capture. The caller holds
 * the lock. The bytes go in whole or not at all: a write cut short (disk
 * full, EFBIG beyond the file-size limit, reported instead of SIGXFSZ) is
 * taken back. */
int seqsim_journal_append(const char *root, const char *line);
int seqsim_capture_append(const char *root, const void *data, size_t n);

/* Writes all n bytes to fd at offset (-1: at the descriptor's offset, or
 * appended), going on after a signal. SIGXFSZ is ignored meanwhile, so a
 * file-size limit gives EFBIG instead of killing the process. */
int seqsim_write_all(int fd, const void *data, size_t n, off_t offset);

/* DIR/sequencer.synths, present while the driver is loaded: the names of the
 * synthesizers it offers, one per line ("\n" after each). Returns their
 * number and, when want is one of them, its name cut to the record's field;
 * -1 with ENODEV when the file is missing. */
int seqsim_synths_read(const char *root, int want, char name[KVL_SYNTH_NAME_BYTES]);

/* What a side knows about the driver, for seqsim_answer. */
struct seqsim_driver {
    void *ctx;
    /* Like seqsim_synths_read: the number of synthesizers, the name of
     * synthesizer want when it exists; -1 with errno set (ENODEV while the
     * driver is not loaded). */
    int (*synths)(void *ctx, int want, char name[KVL_SYNTH_NAME_BYTES]);
    /* Counts one call of the request against the faults: the errno of the
     * first that fires, 0 when none does, -1 when the faults cannot be
     * known (the request then fails with EIO unjournalled). NULL: no faults. */
    int (*fault)(void *ctx, unsigned long code);
};

/* 1 for the requests seqsim answers (KVL_SEQ_NRSYNTHS, KVL_SEQ_SYNTH_INFO). */
int seqsim_is_request(unsigned long code);

#define SEQSIM_LINE_BYTES 512
/* Answers a request on the sequencer and writes its journal line into line
 * (empty when the request must not be journalled). In order: an unknown code
 * fails with EINVAL, an unloaded driver with ENODEV, a missing record with
 * EFAULT; then the faults are counted and the request answered. A request
 * that fails by a fault leaves the record as it was but journals its fields.
 * Returns the result (0), or -errno. */
int seqsim_answer(const struct seqsim_driver *d, unsigned long code, void *arg,
                  char line[SEQSIM_LINE_BYTES]);

/* The fault store, DIR/faults.txt: every fault injected into the machine,
 * with the calls counted so far. Both sides read it with each request or
 * opening and count in it, under the machine's lock; docs/simulator.md
 * describes it for people who edit it. The first line is
 *     KVLSIM-FAULTS 2
 * or, once the simulator took in the faults of machine.json,
 *     KVLSIM-FAULTS 2 <digest of those faults, 8 hexadecimal digits>
 * then one line per fault, in the order they are tried:
 *     <id> <errno name or none> <nth> <calls> request <request>
 *     <id> <errno name or none> <nth> <calls> open <path>
 * where an id m<i> marks faults[i] of machine.json and any other id (the
 * simulator writes s<i>) a fault added later; <request> is the request's
 * label, constant name or code in hexadecimal, as machine.json names it.
 *
 * An older simulator kept a mirror in the same file, with the machine.json
 * it was made from on its first line:
 *     KVLSIM-FAULTS <dev> <ino> <size> <mtime seconds> <mtime nanoseconds>
 * It is read as a store of the older format (legacy) until the simulator
 * rewrites it. */
#define SEQSIM_FAULT_ID_BYTES 16
struct seqsim_fault {
    char id[SEQSIM_FAULT_ID_BYTES];
    char err[SEQSIM_ERRNAME_BYTES]; /* errno name, or "none": fires never */
    int nth;                        /* 0: every call */
    int calls;                      /* matching calls counted so far */
    int open;                       /* 1: an open fault, 0: a request fault */
    const char *target;             /* the request or the path */
};

/* A store as read. */
#define SEQSIM_FAULT_DIGEST_BYTES 9
struct seqsim_faults {
    int legacy;                            /* 1: the older mirror's format */
    char header[128];                      /* the first line, without its newline */
    char digest[SEQSIM_FAULT_DIGEST_BYTES]; /* "" when the header has none */
    int count;
    struct seqsim_fault *fault;
    char *text;   /* owns what the targets point into */
    int bad_line; /* after a damaged text: the line's number (1: the first) */
};

/* Parses the text of a store into f (released with seqsim_faults_free, also
 * after a failure). -1 with EINVAL for a damaged text (f->bad_line tells the
 * line), or ENOMEM. */
int seqsim_faults_parse(const char *text, struct seqsim_faults *f);
/* Reads DIR/faults.txt into f as seqsim_faults_parse does; -1 with ENOENT
 * (and f empty) when there is none. */
int seqsim_faults_read(const char *root, struct seqsim_faults *f);
void seqsim_faults_free(struct seqsim_faults *f);

/* Counts one call in every fault match accepts. Returns the errno of the
 * first of them that fires, or 0; *matched tells whether any matched. */
int seqsim_faults_count(struct seqsim_faults *f,
                        int (*match)(void *ctx, const struct seqsim_fault *fault), void *ctx,
                        int *matched);

/* The text of a store in the current format: "KVLSIM-FAULTS 2", the digest
 * when given, then the lines of the count faults. Returns the text to free;
 * NULL with EINVAL for a target holding a line break, or ENOMEM. */
char *seqsim_faults_text(const char *digest, const struct seqsim_fault *faults, int count);
/* One fault's line (with its newline). -1 with EINVAL for a target holding a
 * line break, ENAMETOOLONG when it does not fit. */
int seqsim_fault_line(const struct seqsim_fault *f, char *out, size_t cap);
/* Replaces DIR/faults.txt by text: a temporary file beside it, renamed. */
int seqsim_faults_save(const char *root, const char *text);

/* The first line the older simulator wrote for the machine.json now at DIR
 * (without a newline). -1 when machine.json cannot be found. */
int seqsim_faults_legacy_header(const char *root, char *out, size_t cap);

/* 1 when text names the sequencer request code (seqsim_is_request) as a
 * fault may: its constant name, which is its label too, or its code in
 * hexadecimal ("0x" and eight digits, in either case). */
int seqsim_request_matches(unsigned long code, const char *text);

/* The C side's count: one request (code, with path NULL) or one opening of a
 * system path (path, with code 0) counted in the store, which is saved when
 * a fault matched. The caller holds the lock. Returns the errno of the first
 * fault that fires, 0 when none does (also for a machine without a store),
 * -1 when the store is damaged, is an older mirror made for another
 * machine.json than the one there, or cannot be saved. */
int seqsim_fault_count(const char *root, unsigned long code, const char *path);

#ifdef __cplusplus
}
#endif

#endif
