/* The FM patch loader: patch records, the instrument map, the patch files and
 * /etc/kvl.conf. */
#define _DEFAULT_SOURCE
#include "cases.h"
#include "harness.h"
#include "kvl_conf_cases.h"

#include "kvllib.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define RECORD 60
#define PATCH 40

/* Patch file fixtures: every record is "4OP" with 22 operator bytes that
 * differ per record and per bank, and 0xEE filler where the loader must not
 * read. */
static unsigned char std_bank[128 * RECORD], drum_bank[128 * RECORD];

static void fill_banks(void)
{
    for (int k = 0; k < 128; k++) {
        unsigned char *s = std_bank + k * RECORD, *d = drum_bank + k * RECORD;
        memset(s, 0xEE, RECORD);
        memset(d, 0xEE, RECORD);
        memcpy(s, "4OP", 3);
        memcpy(d, "4OP", 3);
        for (int j = 0; j < 22; j++) {
            s[36 + j] = (unsigned char)(k * 3 + j + 1);
            d[36 + j] = (unsigned char)(k * 5 + j + 0x80);
        }
    }
}

/* Where a loader case finds the patch files. */
enum patch_files {
    NAMED,          /* an installation at machine_root/kvl that /etc/kvl.conf names */
    NAMED_NO_DRUMS, /* the same without drums.o3 */
    DEFAULT_DIR,    /* etc/etc of the machine, and no /etc/kvl.conf */
};

/* Writes std.o3 of std_records records and a full drums.o3 where files
 * says; DEFAULT_DIR gets both whole. */
static void install_patches(enum patch_files files, int std_records)
{
    if (files == DEFAULT_DIR) {
        write_machine_file("etc/etc/std.o3", std_bank, sizeof std_bank);
        write_machine_file("etc/etc/drums.o3", drum_bank, sizeof drum_bank);
        return;
    }
    write_machine_file("kvl/etc/std.o3", std_bank, (size_t)std_records * RECORD);
    if (files == NAMED)
        write_machine_file("kvl/etc/drums.o3", drum_bank, sizeof drum_bank);
    char conf[4200];
    int n = snprintf(conf, sizeof conf, "KVLLIBDIR=%s/kvl\n", machine_root);
    write_machine_file("etc/kvl.conf", conf, (size_t)n);
}

/* Checks one sent patch record against the file record it came from. */
static void expect_patch(const unsigned char *got, unsigned key, int dev, int instr,
                         const unsigned char *file_record)
{
    unsigned char want[PATCH] = {0};
    want[0] = (unsigned char)(key & 0xff);
    want[1] = (unsigned char)(key >> 8);
    want[2] = (unsigned char)dev;
    want[4] = (unsigned char)(instr & 0xff);
    memcpy(want + 8, file_record + 36, 22);
    if (memcmp(got, want, PATCH) != 0) {
        fprintf(stderr, "patch for instrument %d differs:\n got ", instr);
        for (int i = 0; i < PATCH; i++)
            fprintf(stderr, "%02x", got[i]);
        fprintf(stderr, "\nwant ");
        for (int i = 0; i < PATCH; i++)
            fprintf(stderr, "%02x", want[i]);
        fprintf(stderr, "\n");
        failures++;
    }
}

static unsigned char capture[256 * PATCH + 1];

static long read_capture(void)
{
    return read_machine_file("sequencer.capture", capture, sizeof capture);
}

/* Device 1 is the OPL synthesizer in every loader case. */
static int open_and_init(int flags)
{
    int fd = open_sequencer(flags);
    KVL_init(fd, 64);
    return fd;
}

static void queue_event(int fd, unsigned char value)
{
    KVL_seq_needbuf(8, fd, _seqbuf, _seqbuflen);
    memset(_seqbuf + _seqbufptr, value, 8);
    KVL_seq_advbuf(8, fd, _seqbuf, _seqbuflen);
}

static void load_0_twice_and_5(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 0, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(1, 0, 0, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(1, 0, 5, fd, _seqbuf, _seqbuflen);
    opl3load(fd, 0, 1, 5);
}

static void load_drum_35(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_drum_caching(1, 9, 35, fd, _seqbuf, _seqbuflen);
}

static void load_7(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 7, fd, _seqbuf, _seqbuflen);
}

static void load_invalid_twice(void)
{
    int fd = open_and_init(O_WRONLY);
    for (int i = 0; i < 2; i++) {
        KVL_patch_caching(1, 0, 5, fd, _seqbuf, _seqbuflen);
        KVL_drum_caching(1, 0, 40, fd, _seqbuf, _seqbuflen);
    }
}

static void load_past_short_file(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 9, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(1, 0, 10, fd, _seqbuf, _seqbuflen);
    printf("not reached\n");
}

static void queue_then_load(void)
{
    int fd = open_and_init(O_WRONLY);
    queue_event(fd, 0x11);
    queue_event(fd, 0x22);
    KVL_patch_caching(1, 0, 3, fd, _seqbuf, _seqbuflen);
    printf("waiting %d\n", _seqbufptr);
}

static void queue_then_load_refused(void)
{
    int fd = open_and_init(O_RDONLY);
    queue_event(fd, 0x11);
    KVL_patch_caching(1, 0, 3, fd, _seqbuf, _seqbuflen);
    printf("not reached\n");
}

static void load_refused_twice(void)
{
    int fd = open_and_init(O_RDONLY);
    KVL_patch_caching(1, 0, 3, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(1, 0, 3, fd, _seqbuf, _seqbuflen);
    printf("went on\n");
}

static void load_outside_range(void)
{
    int fd = open_and_init(O_WRONLY);
    opl3load(fd, 0, 1, -1);
    opl3load(fd, 0, 1, 256);
    KVL_drum_caching(1, 0, 128, fd, _seqbuf, _seqbuflen);
    KVL_drum_caching(1, 0, -129, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(1, 0, 200, fd, _seqbuf, _seqbuflen); /* drum 72 */
}

static void load_5_on_each_device(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 5, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(2, 0, 5, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(0, 0, 5, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(0, 0, 5, fd, _seqbuf, _seqbuflen);
}

static void load_without_drums(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 0, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(1, 0, 1, fd, _seqbuf, _seqbuflen);
}

static void load_1(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 1, fd, _seqbuf, _seqbuflen);
}

/* A record of std.o3 or drums.o3 whose tag a case writes over. */
struct tag_edit {
    int drums; /* drums.o3, else std.o3 */
    int record;
    char tag[4]; /* "" ends the list */
};

/* A patch the capture holds at offset at, sent for a file record. */
struct sent_patch {
    int at;
    unsigned key; /* 0: no patch checked */
    int dev, instr;
    int drums, record; /* the file record: in drums.o3, else std.o3 */
};

/* Every loader case above: the banks with their tags edited, written where
 * files says, body run in a child on a machine with synths, then what it
 * left, the capture's size and the patch it holds. */
struct opl_case {
    const char *name;
    const char *synths;
    struct tag_edit tags[2];
    enum patch_files files;
    int std_records; /* records in std.o3; all 128 when 0 */
    void (*body)(void);
    int status;
    const char *out, *err; /* NULL: not checked */
    struct size_check capture;
    struct sent_patch patch;
    void (*check)(const struct outcome *o); /* what else must hold, or NULL */
};

static void first_record_bytes(const struct outcome *o)
{
    (void)o;
    static const unsigned char first[PATCH] = {
        0xFD, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
        1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    };
    EXPECT(memcmp(capture, first, PATCH) == 0);
}

static void drum_instrument_163(const struct outcome *o)
{
    (void)o;
    EXPECT_INT(capture[4], 163);
}

static void std_o3_ended_early(const struct outcome *o)
{
    char expected[256];
    snprintf(expected, sizeof expected, "std.o3: %s\n", strerror(ENODATA));
    EXPECT_STR(o->err, expected);
}

static void events_first(const struct outcome *o)
{
    (void)o;
    EXPECT(capture[0] == 0x11 && capture[8] == 0x22);
}

static void gusload_each_call(const struct outcome *o)
{
    (void)o;
    char log[256];
    read_machine_file("gus.log", log, sizeof log);
    int loads = 0, fd, reserved, dev, patch;
    for (char *line = strtok(log, "\n"); line; line = strtok(NULL, "\n"))
        if (sscanf(line, "gusload %d %d %d %d", &fd, &reserved, &dev, &patch) == 4 && dev == 0 &&
            patch == 5)
            loads++;
    EXPECT_INT(loads, 2);
}

static void drums_o3_missing(const struct outcome *o)
{
    char expected[4300];
    snprintf(expected, sizeof expected, "%s/kvl/etc/drums.o3: No such file or directory\n",
             machine_root);
    EXPECT_STR(o->err, expected);
}

static const struct opl_case table[] = {
    {.name = "opl_record_bytes", .synths = "GUS\nOPL\n", .body = load_0_twice_and_5, .err = "",
     .capture = EXACTLY(2 * PATCH), .patch = {PATCH, 0x03FD, 1, 5, 0, 5}, .check = first_record_bytes},
    {.name = "opl_drum_offset", .synths = "GUS\nOPL\n", .body = load_drum_35,
     .capture = EXACTLY(PATCH), .patch = {0, 0x03FD, 1, 163, 1, 35}, .check = drum_instrument_163},
    {.name = "opl_2op_key", .synths = "GUS\nOPL\n", .tags = {{0, 7, "2OP"}}, .body = load_7,
     .capture = EXACTLY(PATCH), .patch = {0, 0x01FD, 1, 7, 0, 7}},
    {.name = "opl_invalid_tag", .synths = "GUS\nOPL\n", .tags = {{0, 5, "XOP"}, {1, 40, "4op"}},
     .body = load_invalid_twice,
     .err = "KVLlib: Invalid OPL3 patch file std.o3, instr=5\n"
            "KVLlib: Invalid OPL3 patch file drums.o3, instr=40\n",
     .capture = NOTHING},
    {.name = "opl_short_file", .synths = "GUS\nOPL\n", .std_records = 10,
     .body = load_past_short_file, .status = 255, .out = "", .capture = EXACTLY(PATCH),
     .check = std_o3_ended_early},
    {.name = "opl_patch_follows_events", .synths = "GUS\nOPL\n", .body = queue_then_load,
     .out = "waiting 0\n", .capture = EXACTLY(16 + PATCH), .patch = {16, 0x03FD, 1, 3, 0, 3},
     .check = events_first},
    /* A failed flush of the queued events ends the process. */
    {.name = "opl_write_failures", .synths = "GUS\nOPL\n", .body = queue_then_load_refused,
     .status = 255, .out = "", .err = "write /dev/sequencer: Bad file descriptor\n"},
    /* A failed patch write is reported once; the instrument counts as sent. */
    {.name = "opl_write_failures", .synths = "GUS\nOPL\n", .body = load_refused_twice,
     .out = "went on\n", .err = "Write patch: /dev/sequencer: Bad file descriptor\n"},
    {.name = "opl_instrument_range", .synths = "GUS\nOPL\n", .body = load_outside_range, .err = "",
     .capture = EXACTLY(PATCH), .patch = {0, 0x03FD, 1, 200, 1, 72}},
    /* The FM cache is kept per instrument, not per device: the second OPL
     * device never gets instrument 5. Wave-table devices are not cached by
     * the library: each call reaches gusload. */
    {.name = "opl_cache_per_instrument", .synths = "GUS\nOPL\nOPL\n", .body = load_5_on_each_device,
     .err = "", .capture = EXACTLY(PATCH), .patch = {0, 0x03FD, 1, 5, 0, 5},
     .check = gusload_each_call},
    {.name = "opl_missing_patch_file", .synths = "GUS\nOPL\nOPL\n", .files = NAMED_NO_DRUMS,
     .body = load_without_drums, .capture = NOTHING, .check = drums_o3_missing},
    /* Without /etc/kvl.conf the files are found in /etc/etc of the machine. */
    {.name = "opl_default_dir", .synths = "GUS\nOPL\n", .files = DEFAULT_DIR, .body = load_1,
     .err = "", .capture = EXACTLY(PATCH), .patch = {0, 0x03FD, 1, 1, 0, 1}},
};

static const char *row_name(size_t row)
{
    return table[row].name;
}

static void run_row(size_t row)
{
    const struct opl_case *c = &table[row];
    make_machine(c->synths);
    fill_banks();
    for (const struct tag_edit *t = c->tags; t < c->tags + 2 && t->tag[0]; t++)
        memcpy((t->drums ? drum_bank : std_bank) + t->record * RECORD, t->tag, 3);
    install_patches(c->files, c->std_records ? c->std_records : 128);
    struct outcome o;
    run_child(c->body, &o);
    expect_outcome(&o, c->status, c->out, c->err);
    expect_size("sequencer.capture", read_capture(), c->capture);
    const struct sent_patch *p = &c->patch;
    if (p->key)
        expect_patch(capture + p->at, p->key, p->dev, p->instr,
                     (p->drums ? drum_bank : std_bank) + p->record * RECORD);
    if (c->check)
        c->check(&o);
    remove_machine();
}

const struct case_table opl_cases = {sizeof table / sizeof table[0], row_name, run_row};

static void init_only(void)
{
    open_and_init(O_WRONLY);
}

/* Which directory the loader chose shows in the path of the patch file it
 * could not open: "/etc" without /etc/kvl.conf, else by the one rule of
 * every reader of the file (tests/support/kvl_conf_cases.h). */
void case_kvl_conf(void)
{
    for (size_t i = 0; i <= KVL_CONF_CASE_COUNT; i++) {
        const struct KvlConfCase *c = i < KVL_CONF_CASE_COUNT ? &KVL_CONF_CASES[i] : NULL;
        make_machine("OPL\n");
        if (c)
            write_machine_file("etc/kvl.conf", c->text, c->size);
        struct outcome o;
        run_child(init_only, &o);
        EXPECT_INT(o.status, 0);
        const char *dir = c && c->dir ? c->dir : "/etc";
        static char expected[1024];
        snprintf(expected, sizeof expected,
                 "%s/etc/std.o3: No such file or directory\n"
                 "%s/etc/drums.o3: No such file or directory\n",
                 dir, dir);
        if (strcmp(o.err, expected) != 0)
            fprintf(stderr, "kvl.conf case: %s\n", c ? c->name : "no file");
        EXPECT_STR(o.err, expected);
        remove_machine();
    }
}

static void load_everything(void)
{
    int fd = open_and_init(O_WRONLY);
    for (int n = 0; n < 128; n++) {
        KVL_patch_caching(0, 0, n, fd, _seqbuf, _seqbuflen);
        KVL_drum_caching(0, 0, n, fd, _seqbuf, _seqbuflen);
    }
}

/* The shipped patch files: 128 valid records each, both kinds of voice, and
 * every instrument loads. */
void case_shipped_patch_files(void)
{
    make_machine("OPL\n");
    char conf[4200];
    int n = snprintf(conf, sizeof conf, "KVLLIBDIR=%s\n", KVL_DATA_DIR);
    write_machine_file("etc/kvl.conf", conf, (size_t)n);
    const char *files[2] = {KVL_DATA_DIR "/etc/std.o3", KVL_DATA_DIR "/etc/drums.o3"};
    unsigned char *banks[2] = {std_bank, drum_bank};
    for (int b = 0; b < 2; b++) {
        FILE *f = fopen(files[b], "rb");
        EXPECT(f != NULL);
        if (!f)
            return;
        size_t got = fread(banks[b], 1, sizeof std_bank, f);
        EXPECT_INT(got, sizeof std_bank);
        EXPECT(fgetc(f) == EOF);
        fclose(f);
        int four = 0, two = 0;
        for (int k = 0; k < 128; k++) {
            four += memcmp(banks[b] + k * RECORD, "4OP", 3) == 0;
            two += memcmp(banks[b] + k * RECORD, "2OP", 3) == 0;
        }
        EXPECT_INT(four + two, 128);
        EXPECT(four > 0 && two > 0);
    }
    struct outcome o;
    run_child(load_everything, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_STR(o.err, "");
    EXPECT_INT(read_capture(), 256 * PATCH);
    for (int k = 0; k < 128; k++) {
        const unsigned char *s = std_bank + k * RECORD, *d = drum_bank + k * RECORD;
        expect_patch(capture + (2 * k) * PATCH, s[0] == '4' ? 0x03FD : 0x01FD, 0, k, s);
        expect_patch(capture + (2 * k + 1) * PATCH, d[0] == '4' ? 0x03FD : 0x01FD, 0, 128 + k, d);
    }
    remove_machine();
}
