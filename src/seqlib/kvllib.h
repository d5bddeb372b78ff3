/* KVLlib: the sequencer event buffer, synthesizer classification and patch
 * caching for MIDI applications that drive /dev/sequencer.
 *
 * The application writes events of len bytes at _seqbuf + _seqbufptr after
 * KVL_seq_needbuf(len, ...), then calls KVL_seq_advbuf(len, ...), and
 * KVL_seqbuf_dump(...) when the events must go out. Most calls take the
 * application's view of the descriptor, buffer and size (fd, _seqbuf,
 * _seqbuflen) so that the library can check them; a mismatch only warns.
 * The first call sets the library up (a 2048-byte buffer) unless KVL_init
 * chose another size before. One thread, one sequencer per process.
 *
 * Link with -lKVLlib and a wave-table loader providing gusinit and gusload
 * (the package ships a stand-in, -lkvlgus; a loader of your own, declared as
 * below, is linked before -lKVLlib in its place). */
#ifndef KVLLIB_H
#define KVLLIB_H

#ifdef __cplusplus
extern "C" {
#endif

#define KVL_MAX_SYNTHS 64       /* entries of synth_types */
#define KVL_SEQBUF_MIN 32       /* smallest buffer KVL_init accepts */
#define KVL_SEQBUF_MAX 2048     /* largest buffer, and the default */

/* Kinds in synth_types. */
#define KVL_SYNTH_NONE 0        /* no patch caching */
#define KVL_SYNTH_WAVETABLE 1   /* wave-table loader (gusinit, gusload) */
#define KVL_SYNTH_FM 2          /* FM loader (opl3init, opl3load) */

extern unsigned char *_seqbuf;  /* the event buffer, allocated by the library */
extern int _seqbuflen;          /* its size in bytes */
extern int _seqbufptr;          /* bytes of events waiting in it */
extern int synth_types[KVL_MAX_SYNTHS]; /* kind of each sequencer device */
extern int nrsynths;            /* synthesizers the driver reports */

/* Optional set-up before any other call: 0 ok; 1 called too late ("libKVL:
 * KVL_init called too late"); 2 buflen outside 32..2048 ("libKVL: KVL_init
 * called with invalid buflen"), the descriptor stays stored; 3 out of memory.
 * Ends the process (status 255) when the driver refuses a set-up request. */
int KVL_init(int seqfd, int buflen);
/* Writes the waiting events (also none) to the sequencer, ignoring errors,
 * and empties the buffer. */
void KVL_seqbuf_dump(int fd, unsigned char *buf, int buflen);
/* Makes room for len bytes: flushes the waiting events (errors ignored) when
 * they and len bytes would not fit. */
void KVL_seq_needbuf(int len, int fd, unsigned char *buf, int buflen);
/* Counts len more bytes of events as waiting. */
void KVL_seq_advbuf(int len, int fd, unsigned char *buf, int buflen);

/* The library's descriptor once it is set up, else -1: what the event path
 * below compares the caller's descriptor with. kvllib_fastkey is the same
 * descriptor as a long, and LONG_MIN before the set-up, which no int equals
 * where a long is wider: one comparison then says both. Not for
 * applications. */
extern int kvllib_fastfd;
extern long kvllib_fastkey;

/* The event path in the application: KVL_seq_needbuf and KVL_seq_advbuf are
 * also static inline functions, so that an event that fits, with the
 * caller's view the library's own, costs no call; any other case calls the
 * function of the same name, which does what it always did. The functions
 * stay exported for a caller that takes their address, writes the name in
 * parentheses, or defines KVL_NO_INLINE before including this header. A
 * compiler with neither inline functions (C99, C++) nor GNU C's __inline__
 * gets the plain calls. */
#if !defined(KVL_NO_INLINE) && (defined(__GNUC__) || defined(__cplusplus) || \
    (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L))
#if defined(__GNUC__)
#define KVLLIB_INLINE static __inline__
#define KVLLIB_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define KVLLIB_INLINE static inline
#define KVLLIB_LIKELY(x) (x)
#endif

/* The caller's view is the library's own and the library is set up: the
 * checks of the functions have nothing to say. */
#if defined(__LP64__) || defined(_LP64)
#define KVLLIB_FD_OK(fd) ((long)(fd) == kvllib_fastkey)
#else
#define KVLLIB_FD_OK(fd) ((fd) == kvllib_fastfd && (fd) != -1)
#endif
#define KVLLIB_VIEW_OK(fd, buf, buflen) \
    (KVLLIB_FD_OK(fd) && (buf) == _seqbuf && (buflen) == _seqbuflen)

/* *sum = a + b when that is an int, else 0 (the function would hold the sum
 * in range). Without the compiler's overflow test: a count and a length both
 * within the largest buffer, whose sum always is one. */
#if defined(__GNUC__) && (__GNUC__ >= 5 || defined(__clang__))
#define KVLLIB_ADD(a, b, sum) (!__builtin_add_overflow(a, b, sum))
#else
#define KVLLIB_ADD(a, b, sum) \
    ((unsigned)(a) <= (unsigned)KVL_SEQBUF_MAX && (unsigned)(b) <= (unsigned)KVL_SEQBUF_MAX && \
     (*(sum) = (a) + (b), 1))
#endif

/* An event of len bytes fits when the waiting count plus len is at most the
 * buffer's size; compared without sign, the sum is small only when the true
 * one is at most as large, so a fit here is a fit for the function too. */
KVLLIB_INLINE void kvllib_seq_needbuf(int len, int fd, unsigned char *buf, int buflen)
{
    if (!KVLLIB_LIKELY(KVLLIB_VIEW_OK(fd, buf, buflen) &&
                       (unsigned)_seqbufptr + (unsigned)len <= (unsigned)_seqbuflen))
        (KVL_seq_needbuf)(len, fd, buf, buflen);
}

KVLLIB_INLINE void kvllib_seq_advbuf(int len, int fd, unsigned char *buf, int buflen)
{
    int next;
    if (KVLLIB_LIKELY(KVLLIB_VIEW_OK(fd, buf, buflen) && KVLLIB_ADD(_seqbufptr, len, &next)))
        _seqbufptr = next;
    else
        (KVL_seq_advbuf)(len, fd, buf, buflen);
}

#define KVL_seq_needbuf(len, fd, buf, buflen) kvllib_seq_needbuf(len, fd, buf, buflen)
#define KVL_seq_advbuf(len, fd, buf, buflen) kvllib_seq_advbuf(len, fd, buf, buflen)
#endif
/* Loads instrument patch (0-127) into device dev when it caches patches;
 * chn is not used. */
void KVL_patch_caching(int dev, int chn, int patch, int fd, unsigned char *buf, int buflen);
/* Loads drum patch (a percussion note number) into dev as instrument
 * patch + 128; chn is not used. */
void KVL_drum_caching(int dev, int chn, int patch, int fd, unsigned char *buf, int buflen);
/* The two patch writers for a wave-table loader. Both first run the same
 * consistency check as the calls above, against the library's own buffer:
 * the first call of the process adopts fd and sets the library up (which
 * ends the process, status 255, when the driver refuses a set-up request);
 * a later call with another descriptor prints "KVLlib: seqfd is
 * inconsistent" on standard error and still writes to the fd it was given.
 * A negative len is refused with EINVAL. */
/* Writes len bytes of buf to fd; on failure prints "KVL_write_patch: ..." and
 * ends the process with status 255. */
void KVL_write_patch(int fd, unsigned char *buf, int len);
/* Writes len bytes of buf to fd; returns write()'s result (-1 with errno),
 * never ends. */
int KVL_write_patch2(int fd, unsigned char *buf, int len);

/* open, close, write, read and ioctl as the system calls; a negative len is
 * refused with EINVAL. */
int kvllib_open(const char *path, int flags, int mode);
int kvllib_close(int fd);
int kvllib_write(int fd, void *buf, int len);
int kvllib_read(int fd, void *buf, int len);
int kvllib_ioctl(int fd, unsigned long request, void *arg);

/* FM patch loader. opl3init opens etc/std.o3 and etc/drums.o3 of the
 * installation directory (KVLLIBDIR= in /etc/kvl.conf, else /etc) once;
 * opl3load sends instrument instr (0-255, drums from 128) to device dev once
 * as a 40-byte patch record. Both return 0; reserved is not read. */
int opl3init(int seqfd, int dev);
int opl3load(int seqfd, int reserved, int dev, int instr);

/* The wave-table patch loader, outside KVLlib. The library calls gusinit
 * once for every synthesizer it classifies as wave-table, while it sets up,
 * and gusload on every KVL_patch_caching and KVL_drum_caching call for such a
 * device: it keeps no cache of its own for them, so a loader that wants one
 * keeps it. Results are ignored. A loader sends its patches with
 * KVL_write_patch or KVL_write_patch2. */
/* Prepares wave-table device dev on the sequencer descriptor seqfd. */
int gusinit(int seqfd, int dev);
/* Loads patch (0-127 instruments, 128-255 drums as 128 + note) into device
 * dev; reserved is 0. */
int gusload(int seqfd, int reserved, int dev, int patch);

#ifdef __cplusplus
}
#endif

#endif
