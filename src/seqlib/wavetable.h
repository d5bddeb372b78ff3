/* The outside wave-table patch loader that KVLlib calls; the package ships a
 * stand-in (libkvlgus) so that applications link. Results are ignored. */
#ifndef KVL_WAVETABLE_H
#define KVL_WAVETABLE_H

#ifdef __cplusplus
extern "C" {
#endif

/* Prepares wave-table device dev on the sequencer descriptor seqfd. */
int gusinit(int seqfd, int dev);
/* Loads patch (0-127 instruments, 128-255 drums) into device dev. */
int gusload(int seqfd, int reserved, int dev, int patch);

#ifdef __cplusplus
}
#endif

#endif
