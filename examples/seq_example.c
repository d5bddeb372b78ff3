/* A minimal KVLlib application: opens /dev/sequencer, sets the library up,
 * caches an instrument and a drum on the first synthesizer that caches
 * patches, queues a few events and sends them.
 *
 * Build against an installed KVLlib:
 *   cc -o seq_example seq_example.c $(pkg-config --cflags --libs kvllib)
 */
#include <kvllib.h>

#include <fcntl.h>
#include <stdio.h>
#include <string.h>

/* Appends one 8-byte event to the library's buffer: make room (which may
 * send what is waiting), write the bytes, count them. */
static void queue_event(int fd, const unsigned char event[8])
{
    KVL_seq_needbuf(8, fd, _seqbuf, _seqbuflen);
    memcpy(_seqbuf + _seqbufptr, event, 8);
    KVL_seq_advbuf(8, fd, _seqbuf, _seqbuflen);
}

/* A channel voice event for device dev: command, channel, note, velocity. */
static void queue_voice(int fd, int dev, int command, int channel, int note, int velocity)
{
    unsigned char event[8] = {0x93, (unsigned char)dev, (unsigned char)command,
                              (unsigned char)channel, (unsigned char)note,
                              (unsigned char)velocity, 0, 0};
    queue_event(fd, event);
}

int main(void)
{
    int fd = kvllib_open("/dev/sequencer", O_WRONLY, 0);
    if (fd < 0) {
        perror("/dev/sequencer");
        return 1;
    }
    /* Optional: without it the first buffer call sets up 2048 bytes. */
    if (KVL_init(fd, 1024) != 0)
        return 1;

    int dev = 0;
    for (int i = 0; i < nrsynths && i < KVL_MAX_SYNTHS; i++) {
        printf("synthesizer %d: %s\n", i,
               synth_types[i] == KVL_SYNTH_FM          ? "FM patches"
               : synth_types[i] == KVL_SYNTH_WAVETABLE ? "wave-table patches"
                                                       : "no patch caching");
        if (synth_types[i] != KVL_SYNTH_NONE && synth_types[dev] == KVL_SYNTH_NONE)
            dev = i;
    }

    /* Load the instruments before they are played: program 0 and drum 35. */
    KVL_patch_caching(dev, 0, 0, fd, _seqbuf, _seqbuflen);
    KVL_drum_caching(dev, 9, 35, fd, _seqbuf, _seqbuflen);

    queue_voice(fd, dev, 0x90, 0, 60, 100); /* note on, middle C */
    queue_voice(fd, dev, 0x90, 9, 35, 90);  /* note on, drum 35 */
    queue_voice(fd, dev, 0x80, 0, 60, 0);   /* note off */
    queue_voice(fd, dev, 0x80, 9, 35, 0);
    KVL_seqbuf_dump(fd, _seqbuf, _seqbuflen);

    printf("sent 4 events to device %d\n", dev);
    kvllib_close(fd);
    return 0;
}
