/* Every case of the KVLlib suite; each runs on its own simulated machines. */
#ifndef KVL_SEQLIB_CASES_H
#define KVL_SEQLIB_CASES_H

void case_init_buflen(void);
void case_init_too_late(void);
void case_flush_boundary(void);
void case_zero_length_dump(void);
void case_flush_errors_ignored(void);
void case_classification(void);
void case_many_synths(void);
void case_inconsistent_views(void);
void case_setup_requests_fail(void);
void case_write_patch(void);
void case_inline_path_as_calls(void);

void case_opl_record_bytes(void);
void case_opl_drum_offset(void);
void case_opl_2op_key(void);
void case_opl_invalid_tag(void);
void case_opl_short_file(void);
void case_opl_patch_follows_events(void);
void case_opl_write_failures(void);
void case_opl_instrument_range(void);
void case_opl_missing_patch_file(void);
void case_opl_cache_per_instrument(void);
void case_opl_default_dir(void);
void case_kvl_conf(void);
void case_shipped_patch_files(void);

void case_seam_open(void);
void case_seam_requests(void);
void case_seam_faults(void);
void case_seam_paths(void);

#endif
