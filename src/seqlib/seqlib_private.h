/* Shared between the library's two objects, libmain and opl3lib. */
#ifndef KVL_SEQLIB_PRIVATE_H
#define KVL_SEQLIB_PRIVATE_H

/* Writes the waiting events to the library's sequencer descriptor when there
 * are any and empties the buffer; on a failed write prints "write
 * /dev/sequencer: ..." and ends the process with status 255. */
void seqbuf_dump(void);

#endif
