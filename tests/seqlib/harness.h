/* A small C harness for KVLlib's cases. The library's state is process-wide
 * and some paths end the process, so every body runs in a forked child with
 * its standard output and error captured; the parent checks what came out. */
#ifndef KVL_SEQLIB_HARNESS_H
#define KVL_SEQLIB_HARNESS_H

#include <stddef.h>

/* What a child left behind. */
struct outcome {
    int status;      /* exit status, or 128 + signal */
    char out[65536]; /* standard output */
    char err[65536]; /* standard error */
};

/* The simulated machine of the current case (KVL_SIMROOT). */
extern char machine_root[];

extern int failures;

#define EXPECT(cond)                                                               \
    do {                                                                           \
        if (!(cond)) {                                                             \
            fprintf(stderr, "%s:%d: expected %s\n", __FILE__, __LINE__, #cond);    \
            failures++;                                                            \
        }                                                                          \
    } while (0)

#define EXPECT_INT(actual, expected)                                               \
    do {                                                                           \
        long long a_ = (actual), e_ = (expected);                                  \
        if (a_ != e_) {                                                            \
            fprintf(stderr, "%s:%d: %s is %lld, expected %lld\n", __FILE__,        \
                    __LINE__, #actual, a_, e_);                                    \
            failures++;                                                            \
        }                                                                          \
    } while (0)

#define EXPECT_STR(actual, expected) expect_str(__FILE__, __LINE__, #actual, (actual), (expected))

void expect_str(const char *file, int line, const char *what, const char *actual,
                const char *expected);

/* What a case expects of a file's size: nothing checked ({0}, the default
 * of a table row), EXACTLY(n) bytes, or NOTHING (missing or empty). */
struct size_check {
    int checked;
    long bytes; /* -1: none */
};
#define EXACTLY(n) {1, (n)}
#define NOTHING {1, -1}

/* Checks what a child left: its exit status, and its standard output and
 * error unless out or err is NULL. */
void expect_outcome(const struct outcome *o, int status, const char *out, const char *err);
/* Checks got, the count read_machine_file gave for the file rel. */
void expect_size(const char *rel, long got, struct size_check want);

/* Creates a fresh machine directory with dev/, etc/, the /dev/sequencer node
 * and, unless synths is NULL, sequencer.synths holding synths; points
 * KVL_SIMROOT at it. */
void make_machine(const char *synths);
/* Removes the machine directory. */
void remove_machine(void);

/* Writes text (len bytes) to machine_root/rel, creating folders. */
void write_machine_file(const char *rel, const void *text, size_t len);
/* Reads machine_root/rel into buf (NUL-terminated); returns the byte count,
 * -1 when missing. */
long read_machine_file(const char *rel, void *buf, size_t cap);

/* Runs body in a child process and collects its outcome. */
void run_child(void (*body)(void), struct outcome *o);

/* Opens the simulated /dev/sequencer with flags through the library. */
int open_sequencer(int flags);

#endif
