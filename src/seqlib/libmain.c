/* The sequencer event buffer, synthesizer classification and patch caching. */
#define KVL_NO_INLINE /* this file defines the functions themselves */
#include "kvllib.h"
#include "seqlib_private.h"
#include "wavetable.h"

#include "driver/seqcodes.h"
#include "sys/cseam.h"

#include <errno.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

unsigned char *_seqbuf = NULL;
int _seqbuflen = 0;
int _seqbufptr = 0;
int synth_types[KVL_MAX_SYNTHS];
int nrsynths = 0;
int kvllib_fastfd = -1;
long kvllib_fastkey = LONG_MIN;

static int seqfd = -1;
static int initialized = 0;

/* Synthesizer names and the kind of patch caching each gets; the match is
 * exact and case-sensitive. */
static const struct {
    const char *name;
    int type;
} synth_table[] = {
    {"GUS", KVL_SYNTH_WAVETABLE},     {"IWAVE", KVL_SYNTH_WAVETABLE},
    {"SB Live", KVL_SYNTH_WAVETABLE}, {"SB Audigy", KVL_SYNTH_WAVETABLE},
    {"SAM9407", KVL_SYNTH_WAVETABLE}, {"SoftKVL", KVL_SYNTH_WAVETABLE},
    {"OPL", KVL_SYNTH_FM},
};

/* Kind of the synthesizer whose name field is given; a field without a
 * terminator names nothing in the table. */
static int classify(const char *field)
{
    if (!memchr(field, '\0', KVL_SYNTH_NAME_BYTES))
        return KVL_SYNTH_NONE;
    for (size_t i = 0; i < sizeof synth_table / sizeof synth_table[0]; i++)
        if (strcmp(field, synth_table[i].name) == 0)
            return synth_table[i].type;
    return KVL_SYNTH_NONE;
}

/* The waiting byte count as far as the buffer holds it: an application that
 * advanced past the buffer, or below zero, never makes a write read outside
 * it. */
static size_t waiting_bytes(void)
{
    if (_seqbufptr <= 0 || !_seqbuf)
        return 0;
    return (size_t)(_seqbufptr < _seqbuflen ? _seqbufptr : _seqbuflen);
}

/* Allocates the buffer (2048 bytes unless KVL_init set a valid size) and
 * classifies the synthesizers: 0, or 3 when the buffer cannot be allocated.
 * Ends the process when the driver refuses a request. */
static int kvl_init_lib(void)
{
    if (_seqbuflen < KVL_SEQBUF_MIN || _seqbuflen > KVL_SEQBUF_MAX)
        _seqbuflen = KVL_SEQBUF_MAX;
    if (!_seqbuf) {
        _seqbuf = malloc((size_t)_seqbuflen);
        if (!_seqbuf)
            return 3;
    }

    nrsynths = 0;
    int32_t count = 0;
    if (kvl_cseam_ioctl(seqfd, KVL_SEQ_NRSYNTHS, &count) == -1) {
        perror("/dev/sequencer (NRSYNTHS");
        exit(-1);
    }
    nrsynths = count;

    /* Devices past the table are left unclassified: they get no caching. */
    int classified = nrsynths < KVL_MAX_SYNTHS ? nrsynths : KVL_MAX_SYNTHS;
    for (int i = 0; i < classified; i++) {
        unsigned char info[KVL_SYNTH_INFO_BYTES];
        int32_t device = i;
        memset(info, 0, sizeof info);
        memcpy(info + KVL_SYNTH_INFO_DEVICE, &device, sizeof device);
        if (kvl_cseam_ioctl(seqfd, KVL_SEQ_SYNTH_INFO, info) == -1) {
            perror("/dev/sequencer (SYNTH_ID");
            fprintf(stderr, "KVL version 3.8 or later is required with KVLlib\n");
            exit(-1);
        }
        switch (classify((const char *)info)) {
        case KVL_SYNTH_WAVETABLE:
            synth_types[i] = KVL_SYNTH_WAVETABLE;
            gusinit(seqfd, i);
            break;
        case KVL_SYNTH_FM:
            synth_types[i] = KVL_SYNTH_FM;
            opl3init(seqfd, i);
            break;
        default:
            break;
        }
    }
    initialized = 1;
    kvllib_fastfd = seqfd;
    kvllib_fastkey = seqfd;
    return 0;
}

/* Checks the caller's view of descriptor, buffer and size (warnings only),
 * adopts the first descriptor, and sets the library up on first use; ends
 * the process when that fails. Kept out of line: the event path calls it
 * only when the view differs from the library's state (see consistent). */
__attribute__((noinline, cold)) static void sanity_check(int fd, unsigned char *buf, int buflen)
{
    if (fd != seqfd) {
        if (seqfd == -1)
            seqfd = fd;
        else
            fprintf(stderr, "KVLlib: seqfd is inconsistent\n");
    }
    if (buf != _seqbuf)
        fprintf(stderr, "KVLlib: _seqbuf is inconsistent\n");
    if (buflen != _seqbuflen)
        fprintf(stderr, "KVLlib: _seqbuf is inconsistent\n");
    if (!initialized && kvl_init_lib() != 0) {
        fprintf(stderr, "KVLlib: Library initialization failed\n");
        exit(-1);
    }
}

/* The state of every buffer call after the first: the caller's descriptor,
 * buffer and size are the library's and it is set up, so the check has
 * nothing to say. Compared inline, so the event path makes no call. */
static inline int consistent(int fd, const unsigned char *buf, int buflen)
{
    return fd == seqfd && buf == _seqbuf && buflen == _seqbuflen && initialized;
}

int KVL_init(int fd, int buflen)
{
    if (_seqbuflen != 0 || seqfd != -1 || initialized) {
        fprintf(stderr, "libKVL: KVL_init called too late\n");
        return 1;
    }
    seqfd = fd;
    if (buflen < KVL_SEQBUF_MIN || buflen > KVL_SEQBUF_MAX) {
        fprintf(stderr, "libKVL: KVL_init called with invalid buflen\n");
        return 2;
    }
    _seqbuflen = buflen;
    return kvl_init_lib();
}

void seqbuf_dump(void)
{
    if (_seqbufptr != 0) {
        if (kvl_cseam_write(seqfd, _seqbuf, waiting_bytes()) == -1) {
            perror("write /dev/sequencer");
            exit(-1);
        }
    }
    _seqbufptr = 0;
}

void KVL_seqbuf_dump(int fd, unsigned char *buf, int buflen)
{
    sanity_check(fd, buf, buflen);
    (void)kvl_cseam_write(seqfd, _seqbuf, waiting_bytes());
    _seqbufptr = 0;
}

void KVL_seq_needbuf(int len, int fd, unsigned char *buf, int buflen)
{
    if (__builtin_expect(!consistent(fd, buf, buflen), 0))
        sanity_check(fd, buf, buflen);
    if ((long long)_seqbufptr + len > _seqbuflen) {
        (void)kvl_cseam_write(seqfd, _seqbuf, waiting_bytes());
        _seqbufptr = 0;
    }
}

void KVL_seq_advbuf(int len, int fd, unsigned char *buf, int buflen)
{
    if (__builtin_expect(!consistent(fd, buf, buflen), 0))
        sanity_check(fd, buf, buflen);
    long long next = (long long)_seqbufptr + len;
    _seqbufptr = next > INT_MAX ? INT_MAX : next < INT_MIN ? INT_MIN : (int)next;
}

/* Hands instrument n to the loader of device dev's kind; devices outside the
 * table cache nothing. */
static void cache(int dev, int n)
{
    if (dev < 0 || dev >= KVL_MAX_SYNTHS)
        return;
    switch (synth_types[dev]) {
    case KVL_SYNTH_WAVETABLE:
        gusload(seqfd, 0, dev, n);
        break;
    case KVL_SYNTH_FM:
        opl3load(seqfd, 0, dev, n);
        break;
    default:
        break;
    }
}

void KVL_patch_caching(int dev, int chn, int patch, int fd, unsigned char *buf, int buflen)
{
    (void)chn;
    sanity_check(fd, buf, buflen);
    cache(dev, patch);
}

void KVL_drum_caching(int dev, int chn, int patch, int fd, unsigned char *buf, int buflen)
{
    (void)chn;
    sanity_check(fd, buf, buflen);
    cache(dev, patch + 128);
}

void KVL_write_patch(int fd, unsigned char *buf, int len)
{
    sanity_check(fd, _seqbuf, _seqbuflen);
    if (kvllib_write(fd, buf, len) == -1) {
        perror("KVL_write_patch");
        exit(-1);
    }
}

int KVL_write_patch2(int fd, unsigned char *buf, int len)
{
    sanity_check(fd, _seqbuf, _seqbuflen);
    return kvllib_write(fd, buf, len);
}

int kvllib_open(const char *path, int flags, int mode)
{
    return kvl_cseam_open(path, flags, mode);
}

int kvllib_close(int fd)
{
    return kvl_cseam_close(fd);
}

int kvllib_write(int fd, void *buf, int len)
{
    if (len < 0) {
        errno = EINVAL;
        return -1;
    }
    return (int)kvl_cseam_write(fd, buf, (size_t)len);
}

int kvllib_read(int fd, void *buf, int len)
{
    if (len < 0) {
        errno = EINVAL;
        return -1;
    }
    return (int)kvl_cseam_read(fd, buf, (size_t)len);
}

int kvllib_ioctl(int fd, unsigned long request, void *arg)
{
    return kvl_cseam_ioctl(fd, request, arg);
}
