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

/* Lays out an installation at machine_root/kvl with std.o3 of std_records
 * records and a full drums.o3, and an /etc/kvl.conf that names it. */
static void install_patches(int std_records)
{
    write_machine_file("kvl/etc/std.o3", std_bank, (size_t)std_records * RECORD);
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

void case_opl_record_bytes(void)
{
    make_machine("GUS\nOPL\n");
    fill_banks();
    install_patches(128);
    struct outcome o;
    run_child(load_0_twice_and_5, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_STR(o.err, "");
    EXPECT_INT(read_capture(), 2 * PATCH);
    static const unsigned char first[PATCH] = {
        0xFD, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
        1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    };
    EXPECT(memcmp(capture, first, PATCH) == 0);
    expect_patch(capture + PATCH, 0x03FD, 1, 5, std_bank + 5 * RECORD);
    remove_machine();
}

static void load_drum_35(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_drum_caching(1, 9, 35, fd, _seqbuf, _seqbuflen);
}

void case_opl_drum_offset(void)
{
    make_machine("GUS\nOPL\n");
    fill_banks();
    install_patches(128);
    struct outcome o;
    run_child(load_drum_35, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_INT(read_capture(), PATCH);
    EXPECT_INT(capture[4], 163);
    expect_patch(capture, 0x03FD, 1, 163, drum_bank + 2100);
    remove_machine();
}

static void load_7(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 7, fd, _seqbuf, _seqbuflen);
}

void case_opl_2op_key(void)
{
    make_machine("GUS\nOPL\n");
    fill_banks();
    memcpy(std_bank + 7 * RECORD, "2OP", 3);
    install_patches(128);
    struct outcome o;
    run_child(load_7, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_INT(read_capture(), PATCH);
    expect_patch(capture, 0x01FD, 1, 7, std_bank + 7 * RECORD);
    remove_machine();
}

static void load_invalid_twice(void)
{
    int fd = open_and_init(O_WRONLY);
    for (int i = 0; i < 2; i++) {
        KVL_patch_caching(1, 0, 5, fd, _seqbuf, _seqbuflen);
        KVL_drum_caching(1, 0, 40, fd, _seqbuf, _seqbuflen);
    }
}

void case_opl_invalid_tag(void)
{
    make_machine("GUS\nOPL\n");
    fill_banks();
    memcpy(std_bank + 5 * RECORD, "XOP", 3);
    memcpy(drum_bank + 40 * RECORD, "4op", 3);
    install_patches(128);
    struct outcome o;
    run_child(load_invalid_twice, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_STR(o.err, "KVLlib: Invalid OPL3 patch file std.o3, instr=5\n"
                      "KVLlib: Invalid OPL3 patch file drums.o3, instr=40\n");
    EXPECT(read_capture() <= 0);
    remove_machine();
}

static void load_past_short_file(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 9, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(1, 0, 10, fd, _seqbuf, _seqbuflen);
    printf("not reached\n");
}

void case_opl_short_file(void)
{
    make_machine("GUS\nOPL\n");
    fill_banks();
    install_patches(10);
    struct outcome o;
    run_child(load_past_short_file, &o);
    EXPECT_INT(o.status, 255);
    EXPECT_STR(o.out, "");
    char expected[256];
    snprintf(expected, sizeof expected, "std.o3: %s\n", strerror(ENODATA));
    EXPECT_STR(o.err, expected);
    EXPECT_INT(read_capture(), PATCH);
    remove_machine();
}

static void queue_then_load(void)
{
    int fd = open_and_init(O_WRONLY);
    queue_event(fd, 0x11);
    queue_event(fd, 0x22);
    KVL_patch_caching(1, 0, 3, fd, _seqbuf, _seqbuflen);
    printf("waiting %d\n", _seqbufptr);
}

void case_opl_patch_follows_events(void)
{
    make_machine("GUS\nOPL\n");
    fill_banks();
    install_patches(128);
    struct outcome o;
    run_child(queue_then_load, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_STR(o.out, "waiting 0\n");
    EXPECT_INT(read_capture(), 16 + PATCH);
    EXPECT(capture[0] == 0x11 && capture[8] == 0x22);
    expect_patch(capture + 16, 0x03FD, 1, 3, std_bank + 3 * RECORD);
    remove_machine();
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

void case_opl_write_failures(void)
{
    static const struct {
        void (*body)(void);
        int status;
        const char *out;
        const char *err;
    } table[] = {
        /* A failed flush of the queued events ends the process. */
        {queue_then_load_refused, 255, "", "write /dev/sequencer: Bad file descriptor\n"},
        /* A failed patch write is reported once; the instrument counts as sent. */
        {load_refused_twice, 0, "went on\n", "Write patch: /dev/sequencer: Bad file descriptor\n"},
    };
    for (size_t i = 0; i < sizeof table / sizeof table[0]; i++) {
        make_machine("GUS\nOPL\n");
        fill_banks();
        install_patches(128);
        struct outcome o;
        run_child(table[i].body, &o);
        EXPECT_INT(o.status, table[i].status);
        EXPECT_STR(o.out, table[i].out);
        EXPECT_STR(o.err, table[i].err);
        remove_machine();
    }
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

void case_opl_instrument_range(void)
{
    make_machine("GUS\nOPL\n");
    fill_banks();
    install_patches(128);
    struct outcome o;
    run_child(load_outside_range, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_STR(o.err, "");
    EXPECT_INT(read_capture(), PATCH);
    expect_patch(capture, 0x03FD, 1, 200, drum_bank + 72 * RECORD);
    remove_machine();
}

static void load_5_on_each_device(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 5, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(2, 0, 5, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(0, 0, 5, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(0, 0, 5, fd, _seqbuf, _seqbuflen);
}

/* The FM cache is kept per instrument, not per device: the second OPL device
 * never gets instrument 5. Wave-table devices are not cached by the library:
 * each call reaches gusload. */
void case_opl_cache_per_instrument(void)
{
    make_machine("GUS\nOPL\nOPL\n");
    fill_banks();
    install_patches(128);
    struct outcome o;
    run_child(load_5_on_each_device, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_STR(o.err, "");
    EXPECT_INT(read_capture(), PATCH);
    expect_patch(capture, 0x03FD, 1, 5, std_bank + 5 * RECORD);
    char log[256];
    read_machine_file("gus.log", log, sizeof log);
    int loads = 0, fd, reserved, dev, patch;
    for (char *line = strtok(log, "\n"); line; line = strtok(NULL, "\n"))
        if (sscanf(line, "gusload %d %d %d %d", &fd, &reserved, &dev, &patch) == 4 && dev == 0 &&
            patch == 5)
            loads++;
    EXPECT_INT(loads, 2);
    remove_machine();
}

static void load_without_drums(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 0, fd, _seqbuf, _seqbuflen);
    KVL_patch_caching(1, 0, 1, fd, _seqbuf, _seqbuflen);
}

void case_opl_missing_patch_file(void)
{
    make_machine("GUS\nOPL\nOPL\n");
    fill_banks();
    install_patches(128);
    char path[4200];
    snprintf(path, sizeof path, "%s/kvl/etc/drums.o3", machine_root);
    remove(path);
    struct outcome o;
    run_child(load_without_drums, &o);
    EXPECT_INT(o.status, 0);
    char expected[4300];
    snprintf(expected, sizeof expected, "%s: No such file or directory\n", path);
    EXPECT_STR(o.err, expected);
    EXPECT(read_capture() <= 0);
    remove_machine();
}

static void load_1(void)
{
    int fd = open_and_init(O_WRONLY);
    KVL_patch_caching(1, 0, 1, fd, _seqbuf, _seqbuflen);
}

/* Without /etc/kvl.conf the files are found in /etc/etc of the machine. */
void case_opl_default_dir(void)
{
    make_machine("GUS\nOPL\n");
    fill_banks();
    write_machine_file("etc/etc/std.o3", std_bank, sizeof std_bank);
    write_machine_file("etc/etc/drums.o3", drum_bank, sizeof drum_bank);
    struct outcome o;
    run_child(load_1, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_STR(o.err, "");
    EXPECT_INT(read_capture(), PATCH);
    expect_patch(capture, 0x03FD, 1, 1, std_bank + RECORD);
    remove_machine();
}

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
