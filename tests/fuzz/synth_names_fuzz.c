/* Feeds arbitrary bytes to KVLlib's set-up as the sequencer's replies: the
 * synthesizer count, then each synthesizer's information record (name field
 * first), zeros once the input ends. The library's source is included so that
 * its state can be reset for every input; the loaders are counting stubs.
 * Every classified device gets exactly one loader set-up call, devices from
 * 64 on are never classified, and each caching call reaches the loader of its
 * device's kind only. */
#include "seqlib/libmain.c"

#define FAKE_SEQ_FD 1000

static const uint8_t *reply;
static size_t reply_left;
static int gus_inits, opl_inits, gus_loads, opl_loads;

static void take(void *out, size_t n)
{
    size_t k = n < reply_left ? n : reply_left;
    memcpy(out, reply, k);
    memset((char *)out + k, 0, n - k);
    reply += k;
    reply_left -= k;
}

int kvl_cseam_ioctl(int fd, unsigned long request, void *arg)
{
    if (fd != FAKE_SEQ_FD) {
        errno = EBADF;
        return -1;
    }
    if (request == KVL_SEQ_NRSYNTHS) {
        take(arg, sizeof(int32_t));
        return 0;
    }
    if (request == KVL_SEQ_SYNTH_INFO) {
        take(arg, KVL_SYNTH_INFO_BYTES);
        return 0;
    }
    errno = EINVAL;
    return -1;
}

int kvl_cseam_open(const char *path, int flags, int mode)
{
    (void)path, (void)flags, (void)mode;
    errno = ENOENT;
    return -1;
}

int kvl_cseam_close(int fd)
{
    (void)fd;
    return 0;
}

ssize_t kvl_cseam_read(int fd, void *buf, size_t n)
{
    (void)fd, (void)buf;
    return (ssize_t)n;
}

ssize_t kvl_cseam_write(int fd, const void *buf, size_t n)
{
    (void)fd, (void)buf;
    return (ssize_t)n;
}

int gusinit(int fd, int dev)
{
    (void)fd, (void)dev;
    gus_inits++;
    return 0;
}

int gusload(int fd, int reserved, int dev, int patch)
{
    (void)fd, (void)reserved, (void)patch;
    if (dev < 0 || dev >= KVL_MAX_SYNTHS || synth_types[dev] != KVL_SYNTH_WAVETABLE)
        abort();
    gus_loads++;
    return 0;
}

int opl3init(int fd, int dev)
{
    (void)fd, (void)dev;
    opl_inits++;
    return 0;
}

int opl3load(int fd, int reserved, int dev, int instr)
{
    (void)fd, (void)reserved, (void)instr;
    if (dev < 0 || dev >= KVL_MAX_SYNTHS || synth_types[dev] != KVL_SYNTH_FM)
        abort();
    opl_loads++;
    return 0;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    reply = data;
    reply_left = size;
    seqfd = -1;
    initialized = 0;
    kvllib_fastfd = -1;
    kvllib_fastkey = LONG_MIN;
    _seqbuflen = 0;
    _seqbufptr = 0;
    nrsynths = 0;
    memset(synth_types, 0, sizeof synth_types);
    gus_inits = opl_inits = gus_loads = opl_loads = 0;

    if (KVL_init(FAKE_SEQ_FD, KVL_SEQBUF_MAX) != 0)
        abort();
    int wavetable = 0, fm = 0;
    for (int i = 0; i < KVL_MAX_SYNTHS; i++) {
        if (synth_types[i] == KVL_SYNTH_WAVETABLE)
            wavetable++;
        else if (synth_types[i] == KVL_SYNTH_FM)
            fm++;
        else if (synth_types[i] != KVL_SYNTH_NONE)
            abort();
        if (i >= nrsynths && synth_types[i] != KVL_SYNTH_NONE)
            abort();
    }
    if (gus_inits != wavetable || opl_inits != fm)
        abort();

    for (int dev = -1; dev <= KVL_MAX_SYNTHS; dev++) {
        KVL_patch_caching(dev, 0, 1, FAKE_SEQ_FD, _seqbuf, _seqbuflen);
        KVL_drum_caching(dev, 9, 35, FAKE_SEQ_FD, _seqbuf, _seqbuflen);
    }
    if (gus_loads != 2 * wavetable || opl_loads != 2 * fm)
        abort();
    return 0;
}
