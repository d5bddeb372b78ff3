/* The outside wave-table patch loader that KVLlib calls. Its prototypes are
 * part of the installed header, kvllib.h, so that a loader written for the
 * package is checked against them. */
#ifndef KVL_WAVETABLE_H
#define KVL_WAVETABLE_H

#include "kvllib.h"

#endif
