/* seqlib_bench [EVENTS [BUFLEN]]: times KVLlib's event path, one
 * KVL_seq_needbuf + 8-byte copy + KVL_seq_advbuf per event and a final
 * KVL_seqbuf_dump, against a bare memcpy loop that fills a buffer of the same
 * size and writes it when full. Prints ns per event for both and the number
 * of writes, which should be one per full buffer plus the last one. */
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

static double now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e9 + ts.tv_nsec;
}

int main(int argc, char **argv)
{
    long events = argc > 1 ? atol(argv[1]) : 10000000;
    int buflen = argc > 2 ? atoi(argv[2]) : 2048;
    if (events <= 0 || buflen < KVL_SEQBUF_MIN || buflen > KVL_SEQBUF_MAX) {
        fprintf(stderr, "usage: seqlib_bench [EVENTS [BUFLEN 32-2048]]\n");
        return 1;
    }
    int fd = open("/dev/null", O_WRONLY);
    if (fd < 0 || KVL_init(fd, buflen) != 0)
        return 1;

    unsigned char event[8] = {0x93, 0, 0x90, 0, 60, 100, 0, 0};
    double t0 = now_ns();
    for (long i = 0; i < events; i++) {
        event[4] = (unsigned char)i;
        KVL_seq_needbuf(8, fd, _seqbuf, _seqbuflen);
        memcpy(_seqbuf + _seqbufptr, event, 8);
        KVL_seq_advbuf(8, fd, _seqbuf, _seqbuflen);
    }
    KVL_seqbuf_dump(fd, _seqbuf, _seqbuflen);
    double lib_ns = now_ns() - t0;
    long lib_writes = writes;

    unsigned char *buf = malloc((size_t)buflen);
    int ptr = 0;
    long bare_writes = 0;
    t0 = now_ns();
    for (long i = 0; i < events; i++) {
        event[4] = (unsigned char)i;
        if (ptr + 8 > buflen) {
            if (write(fd, buf, (size_t)ptr) < 0)
                return 1;
            bare_writes++;
            ptr = 0;
        }
        memcpy(buf + ptr, event, 8);
        ptr += 8;
    }
    if (write(fd, buf, (size_t)ptr) < 0)
        return 1;
    bare_writes++;
    double bare_ns = now_ns() - t0;

    long long bytes = (long long)events * 8;
    int per_write = buflen - buflen % 8;
    long long floor_writes = (bytes + per_write - 1) / per_write;
    printf("%ld events, %lld bytes, buffer %d bytes\n", events, bytes, buflen);
    printf("KVLlib event path: %7.2f ns/event, %ld writes\n", lib_ns / events, lib_writes);
    printf("bare memcpy loop:  %7.2f ns/event, %ld writes\n", bare_ns / events, bare_writes);
    printf("floor: %lld writes (one per full buffer of %d bytes)\n", floor_writes, per_write);
    free(buf);
    return lib_writes == floor_writes ? 0 : 1;
}
