/* seqlib_bench [EVENTS [ROUNDS]]: KVLlib's event path against a bare copy
 * loop, on the thread's CPU time.
 *
 * Product: per event KVL_seq_needbuf + a copy of the event to
 * _seqbuf + _seqbufptr + KVL_seq_advbuf, and KVL_seqbuf_dump at the end.
 * Anchor: the same copy into a buffer of the same size, written when the next
 * event does not fit, and written at the end. Three kinds of events: 4-byte,
 * 8-byte, and a mix of both (8, 4, 4, 8, 4, ...). For each kind, one warm-up
 * round of each and then ROUNDS rounds of anchor and product in turn; prints
 * the minimum and median, over the rounds, of the product's extra
 * nanoseconds per event and of the ratio. The seam's write and ioctl are
 * wrapped: the sequencer is /dev/null, it offers no synthesizers, and every
 * write is counted. Each round checks that the library wrote exactly as
 * often as the anchor (one write per full buffer and one at the end); the
 * exit status is 1 when it did not. */
#define _POSIX_C_SOURCE 200809L
#include "kvllib.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#define SNDCTL_SEQ_NRSYNTHS 0x2004510AUL

static long writes;

ssize_t __real_kvl_cseam_write(int fd, const void *buf, size_t n);
ssize_t __wrap_kvl_cseam_write(int fd, const void *buf, size_t n);
int __wrap_kvl_cseam_ioctl(int fd, unsigned long request, void *arg);

ssize_t __wrap_kvl_cseam_write(int fd, const void *buf, size_t n)
{
    writes++;
    return __real_kvl_cseam_write(fd, buf, n);
}

/* The bench's sequencer offers no synthesizers. */
int __wrap_kvl_cseam_ioctl(int fd, unsigned long request, void *arg)
{
    (void)fd;
    if (request == SNDCTL_SEQ_NRSYNTHS) {
        int32_t none = 0;
        memcpy(arg, &none, sizeof none);
        return 0;
    }
    errno = EINVAL;
    return -1;
}

static double cpu_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e9 + ts.tv_nsec;
}

/* Event i's length for a kind: 4, 8, or the mix. */
static inline int event_len(int kind, long i)
{
    static const int mix[5] = {8, 4, 4, 8, 4};
    return kind == 0 ? 4 : kind == 1 ? 8 : mix[i % 5];
}

static unsigned char event[8] = {0x93, 0, 0x90, 0, 60, 100, 0, 0};

/* One product round: ns of thread CPU time; *nwrites the writes made. */
static double product_round(int fd, int kind, long events, long *nwrites)
{
    long before = writes;
    double t0 = cpu_ns();
    for (long i = 0; i < events; i++) {
        int len = event_len(kind, i);
        event[4] = (unsigned char)i;
        KVL_seq_needbuf(len, fd, _seqbuf, _seqbuflen);
        memcpy(_seqbuf + _seqbufptr, event, (size_t)len);
        KVL_seq_advbuf(len, fd, _seqbuf, _seqbuflen);
    }
    KVL_seqbuf_dump(fd, _seqbuf, _seqbuflen);
    double t = cpu_ns() - t0;
    *nwrites = writes - before;
    return t;
}

/* One anchor round over a buffer of buflen bytes. */
static double anchor_round(int fd, unsigned char *buf, int buflen, int kind, long events,
                           long *nwrites)
{
    int ptr = 0;
    long n = 0;
    double t0 = cpu_ns();
    for (long i = 0; i < events; i++) {
        int len = event_len(kind, i);
        event[4] = (unsigned char)i;
        if (ptr + len > buflen) {
            if (write(fd, buf, (size_t)ptr) < 0)
                exit(1);
            n++;
            ptr = 0;
        }
        memcpy(buf + ptr, event, (size_t)len);
        ptr += len;
    }
    if (write(fd, buf, (size_t)ptr) < 0)
        exit(1);
    n++;
    double t = cpu_ns() - t0;
    *nwrites = n;
    return t;
}

static int by_value(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y;
}

static double median(double *v, int n)
{
    qsort(v, (size_t)n, sizeof *v, by_value);
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int main(int argc, char **argv)
{
    long events = argc > 1 ? atol(argv[1]) : 4000000;
    int rounds = argc > 2 ? atoi(argv[2]) : 11;
    if (events <= 0 || rounds < 1 || rounds > 1000) {
        fprintf(stderr, "usage: seqlib_bench [EVENTS [ROUNDS]]\n");
        return 2;
    }
    int fd = open("/dev/null", O_WRONLY);
    if (fd < 0 || KVL_init(fd, KVL_SEQBUF_MAX) != 0)
        return 1;
    unsigned char *buf = malloc(KVL_SEQBUF_MAX);
    double *extra = malloc(sizeof(double) * (size_t)rounds);
    double *ratio = malloc(sizeof(double) * (size_t)rounds);
    if (!buf || !extra || !ratio)
        return 1;
    static const char *kinds[3] = {"4-byte", "8-byte", "mixed"};
    int bad = 0;
    printf("seqlib_bench: %ld events per round, %d rounds after a warm-up, thread CPU time\n",
           events, rounds);
    printf("%-7s %10s %10s %9s %9s %8s %8s  writes\n", "events", "anchor ns", "KVLlib ns",
           "+ns min", "+ns med", "x min", "x med");
    for (int kind = 0; kind < 3; kind++) {
        long aw, pw;
        anchor_round(fd, buf, KVL_SEQBUF_MAX, kind, events, &aw);
        product_round(fd, kind, events, &pw);
        double amin = 1e300, pmin = 1e300;
        for (int r = 0; r < rounds; r++) {
            double a = anchor_round(fd, buf, KVL_SEQBUF_MAX, kind, events, &aw) / events;
            double p = product_round(fd, kind, events, &pw) / events;
            if (pw != aw) {
                fprintf(stderr, "%s events: KVLlib wrote %ld times, the anchor %ld\n",
                        kinds[kind], pw, aw);
                bad = 1;
            }
            extra[r] = p - a;
            ratio[r] = p / a;
            amin = a < amin ? a : amin;
            pmin = p < pmin ? p : pmin;
        }
        double emed = median(extra, rounds), rmed = median(ratio, rounds);
        printf("%-7s %10.2f %10.2f %+9.2f %+9.2f %8.2f %8.2f  %ld per round (%s)\n", kinds[kind],
               amin, pmin, extra[0], emed, ratio[0], rmed, pw, pw == aw ? "as the anchor" : "WRONG");
    }
    free(buf);
    free(extra);
    free(ratio);
    return bad;
}
