/* A program that calls the wave-table loader, built with the C compiler alone
 * against the installed header. With OWN_LOADER it brings its own gusinit and
 * gusload, which must match the header's prototypes and which KVLlib must
 * call in place of the stand-in; they send a 4-byte record per patch through
 * KVL_write_patch2. Without it the stand-in (-lkvlgus) answers. */
#include <kvllib.h>

#include <fcntl.h>
#include <stdio.h>

#ifdef OWN_LOADER
int gusinit(int seqfd, int dev)
{
    (void)seqfd;
    printf("gusinit %d\n", dev);
    return 0;
}

int gusload(int seqfd, int reserved, int dev, int patch)
{
    unsigned char record[4] = {'G', (unsigned char)dev, (unsigned char)patch,
                               (unsigned char)reserved};
    printf("gusload %d %d\n", dev, patch);
    return KVL_write_patch2(seqfd, record, (int)sizeof record) == (int)sizeof record ? 0 : -1;
}
#endif

int main(void)
{
    int fd = kvllib_open("/dev/sequencer", O_WRONLY, 0);
    if (fd < 0) {
        perror("/dev/sequencer");
        return 1;
    }
    /* The first caching call sets the library up: gusinit for device 0. */
    KVL_patch_caching(0, 0, 5, fd, _seqbuf, _seqbuflen);
    KVL_drum_caching(0, 9, 35, fd, _seqbuf, _seqbuflen);
    /* An application may call the loader itself. */
    gusload(fd, 0, 0, 7);
    return 0;
}
