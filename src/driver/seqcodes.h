/* Requests on /dev/sequencer and the synthesizer information record. Plain C,
 * so that KVLlib (built with the C compiler alone), the driver interface
 * (driver.h) and the simulator share one definition. */
#ifndef KVL_SEQCODES_H
#define KVL_SEQCODES_H

/* The number of synthesizers: an int32 read back. */
#define KVL_SEQ_NRSYNTHS 0x2004510Au
/* One synthesizer's information: the 140-byte record below, device in, name
 * out. */
#define KVL_SEQ_SYNTH_INFO 0x608C5114u

#define KVL_SYNTH_INFO_BYTES 140
#define KVL_SYNTH_NAME_BYTES 32  /* NUL-terminated name at offset 0 */
#define KVL_SYNTH_INFO_DEVICE 32 /* int32 device number */

#endif
