/* The C side of the path-mapping table: what KVLlib's seam makes of a path,
 * built by the C compiler as KVLlib's programs are. */
#include "seam_paths_c.h"

#include "sys/cseam.h"
#include "sys/seam.h"

#include <stdio.h>

int c_side_choose(void) { return kvl_cseam_use_environment(); }

int c_side_map(const char *path, char *out, size_t cap)
{
    return kvl_seam_map_path(kvl_seam_root(), path, out, cap);
}

int c_side_first_line(const char *path, char *out, size_t cap)
{
    FILE *f = kvl_cseam_fopen(path, "r");
    if (!f)
        return -1;
    if (!fgets(out, (int)cap, f))
        out[0] = '\0';
    fclose(f);
    return 0;
}
