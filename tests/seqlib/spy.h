/* A spy on KVLlib's seam, linked in with --wrap: it can print every write's
 * length on standard output and make the synthesizer information request
 * fail. */
#ifndef KVL_SEQLIB_SPY_H
#define KVL_SEQLIB_SPY_H

/* When set, each write through the seam prints "write N\n" on stdout. */
extern int spy_print_writes;
/* When not 0, SNDCTL_SYNTH_INFO fails with this errno. */
extern int spy_synth_info_errno;

#endif
