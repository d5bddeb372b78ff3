/* Between the seam core's two files: the native operations, which the
 * simulated backend uses for every path and descriptor it does not simulate,
 * and the simulated operations with the driver chosen for them. */
#ifndef KVL_SEAM_PRIVATE_H
#define KVL_SEAM_PRIVATE_H

#include "sys/seam.h"

extern const struct kvl_seam_ops kvl_seam_native_ops;
/* 1 for /dev and the paths below it. */
int kvl_seam_dev_path(const char *path);
#if KVL_SIMULATOR
extern const struct kvl_seam_ops kvl_seam_simulated_ops;
/* The driver of the chosen machine. */
const struct kvl_seam_driver *kvl_seam_chosen_driver(void);
#endif

#endif
