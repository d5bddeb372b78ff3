// The C side of the path-mapping table (seam_paths_test.cpp): KVLlib's seam,
// called from a file the C compiler builds.
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// KVLlib's choice of backend from the environment. Returns 0 or -1.
int c_side_choose(void);
// The path KVLlib's seam stands for path with. Returns 0 or -1.
int c_side_map(const char *path, char *out, size_t cap);
// The first line of the file KVLlib's seam opens for path. Returns 0, or -1
// with errno set when it opens none.
int c_side_first_line(const char *path, char *out, size_t cap);

#ifdef __cplusplus
}
#endif
