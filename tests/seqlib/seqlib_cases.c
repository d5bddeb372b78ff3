/* seqlib_cases NAME...: runs the named cases (all without a name) and exits
 * 0 when every expectation held, 1 otherwise. */
#include "cases.h"
#include "harness.h"

#include <stdio.h>
#include <string.h>

static const struct {
    const char *name;
    void (*run)(void);
} cases[] = {
    {"init_buflen", case_init_buflen},
    {"init_too_late", case_init_too_late},
    {"flush_boundary", case_flush_boundary},
    {"zero_length_dump", case_zero_length_dump},
    {"flush_errors_ignored", case_flush_errors_ignored},
    {"classification", case_classification},
    {"many_synths", case_many_synths},
    {"inconsistent_views", case_inconsistent_views},
    {"setup_requests_fail", case_setup_requests_fail},
    {"write_patch", case_write_patch},
    {"inline_path_as_calls", case_inline_path_as_calls},
    {"opl_record_bytes", case_opl_record_bytes},
    {"opl_drum_offset", case_opl_drum_offset},
    {"opl_2op_key", case_opl_2op_key},
    {"opl_invalid_tag", case_opl_invalid_tag},
    {"opl_short_file", case_opl_short_file},
    {"opl_patch_follows_events", case_opl_patch_follows_events},
    {"opl_write_failures", case_opl_write_failures},
    {"opl_instrument_range", case_opl_instrument_range},
    {"opl_missing_patch_file", case_opl_missing_patch_file},
    {"opl_cache_per_instrument", case_opl_cache_per_instrument},
    {"opl_default_dir", case_opl_default_dir},
    {"kvl_conf", case_kvl_conf},
    {"shipped_patch_files", case_shipped_patch_files},
    {"seam_open", case_seam_open},
    {"seam_requests", case_seam_requests},
    {"seam_paths", case_seam_paths},
    {"seam_faults", case_seam_faults},
};
enum { NCASES = sizeof cases / sizeof cases[0] };

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "--list") == 0) {
        for (int i = 0; i < NCASES; i++)
            printf("%s\n", cases[i].name);
        return 0;
    }
    int ran = 0;
    for (int i = 0; i < NCASES; i++) {
        int wanted = argc == 1;
        for (int a = 1; a < argc; a++)
            wanted |= strcmp(argv[a], cases[i].name) == 0;
        if (!wanted)
            continue;
        int before = failures;
        cases[i].run();
        remove_machine();
        printf("%s %s\n", failures == before ? "PASS" : "FAIL", cases[i].name);
        ran++;
    }
    if (ran == 0 || (argc > 1 && ran != argc - 1)) {
        fprintf(stderr, "seqlib_cases: no such case\n");
        return 1;
    }
    return failures ? 1 : 0;
}
