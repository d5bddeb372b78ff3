/* Every case of the KVLlib suite; each runs on its own simulated machines. */
#ifndef KVL_SEQLIB_CASES_H
#define KVL_SEQLIB_CASES_H

#include <stddef.h>

/* A table of cases of one shape: row i has a name, its test's name (rows
 * that share a name make one case), and runs on a fresh machine. */
struct case_table {
    size_t rows;
    const char *(*name)(size_t row);
    void (*run)(size_t row);
};

extern const struct case_table buffer_cases; /* the event buffer, set-up, views, synthesizers */
extern const struct case_table opl_cases;    /* the FM patch loader */

/* Cases of their own shape. */
void case_inline_path_as_calls(void);
void case_kvl_conf(void);
void case_shipped_patch_files(void);

void case_seam_open(void);
void case_seam_requests(void);
void case_seam_faults(void);
void case_seam_paths(void);

#endif
