/* The event buffer, set-up, the checks on the caller's view, and the
 * classification of synthesizers. */
#define _DEFAULT_SOURCE
#include "cases.h"
#include "harness.h"
#include "spy.h"

#include "kvllib.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static const char too_late[] = "libKVL: KVL_init called too late\n";
static const char invalid_buflen[] = "libKVL: KVL_init called with invalid buflen\n";

/* Queues one 8-byte event whose bytes all equal value, the way an
 * application's event code does. */
static void queue_event(int fd, unsigned char value)
{
    KVL_seq_needbuf(8, fd, _seqbuf, _seqbuflen);
    memset(_seqbuf + _seqbufptr, value, 8);
    KVL_seq_advbuf(8, fd, _seqbuf, _seqbuflen);
}

static int arg_buflen;

static void init_with_buflen(void)
{
    int fd = open_sequencer(O_WRONLY);
    int r = KVL_init(fd, arg_buflen);
    printf("%d %d\n", r, _seqbuflen);
}

static void init_twice(void)
{
    int fd = open_sequencer(O_WRONLY);
    int first = KVL_init(fd, 1024);
    int second = KVL_init(fd, 1024);
    printf("%d %d %d\n", first, second, _seqbuflen);
}

static void init_after_invalid(void)
{
    int fd = open_sequencer(O_WRONLY);
    int first = KVL_init(fd, 31);
    int second = KVL_init(fd, 64);
    printf("%d %d %d\n", first, second, _seqbuflen);
}

/* The first buffer call sets up a 2048-byte buffer with its descriptor,
 * silently; KVL_init afterwards is too late. */
static void init_after_buffer_call(void)
{
    int fd = open_sequencer(O_WRONLY);
    queue_event(fd, 0x5a);
    int r = KVL_init(fd, 64);
    KVL_seqbuf_dump(fd, _seqbuf, _seqbuflen);
    printf("%d %d\n", r, _seqbuflen);
}

/* 2040 bytes waiting in 2048: 8 more fit, 9 do not. */
static void fill_to_boundary(void)
{
    int fd = open_sequencer(O_WRONLY);
    KVL_init(fd, 2048);
    for (int i = 0; i < 255; i++)
        queue_event(fd, (unsigned char)i);
    spy_print_writes = 1;
    printf("waiting %d\n", _seqbufptr);
    KVL_seq_needbuf(8, fd, _seqbuf, _seqbuflen);
    printf("waiting %d\n", _seqbufptr);
    KVL_seq_needbuf(9, fd, _seqbuf, _seqbuflen);
    printf("waiting %d\n", _seqbufptr);
}

static void dump_empty_then_some(void)
{
    int fd = open_sequencer(O_WRONLY);
    KVL_init(fd, 64);
    spy_print_writes = 1;
    KVL_seqbuf_dump(fd, _seqbuf, _seqbuflen);
    queue_event(fd, 1);
    queue_event(fd, 2);
    KVL_seqbuf_dump(fd, _seqbuf, _seqbuflen);
    printf("waiting %d\n", _seqbufptr);
}

/* A sequencer that refuses writes: the buffer flushes drop the events and go
 * on; an application that advanced past the buffer never makes a flush read
 * outside it. */
static void flush_into_refusing_device(void)
{
    int fd = open_sequencer(O_RDONLY);
    KVL_init(fd, 32);
    queue_event(fd, 1);
    KVL_seqbuf_dump(fd, _seqbuf, _seqbuflen);
    printf("waiting %d\n", _seqbufptr);
    for (int i = 0; i < 5; i++)
        queue_event(fd, 2);
    printf("waiting %d\n", _seqbufptr);
    KVL_seq_advbuf(100, fd, _seqbuf, _seqbuflen);
    spy_print_writes = 1;
    KVL_seqbuf_dump(fd, _seqbuf, _seqbuflen);
    printf("waiting %d\n", _seqbufptr);
}

static void classify_and_cache(void)
{
    int fd = open_sequencer(O_WRONLY);
    KVL_init(fd, 64);
    printf("fd %d nrsynths %d types", fd, nrsynths);
    for (int i = 0; i < nrsynths; i++)
        printf(" %d", synth_types[i]);
    printf("\n");
    KVL_patch_caching(2, 0, 5, fd, _seqbuf, _seqbuflen);  /* "OPL!": nothing */
    KVL_patch_caching(0, 0, 5, fd, _seqbuf, _seqbuflen);  /* OPL without patch files */
    KVL_patch_caching(1, 3, 5, fd, _seqbuf, _seqbuflen);
    KVL_drum_caching(3, 9, 35, fd, _seqbuf, _seqbuflen);
    KVL_drum_caching(4, 9, 35, fd, _seqbuf, _seqbuflen); /* "opl": nothing */
}

/* More synthesizers than synth_types holds, and device numbers outside it. */
static void many_synths(void)
{
    int fd = open_sequencer(O_WRONLY);
    KVL_init(fd, 64);
    printf("fd %d nrsynths %d\n", fd, nrsynths);
    int devs[] = {64, 69, -1, 100000, 63};
    for (size_t i = 0; i < sizeof devs / sizeof devs[0]; i++) {
        KVL_patch_caching(devs[i], 0, 1, fd, _seqbuf, _seqbuflen);
        KVL_drum_caching(devs[i], 0, 1, fd, _seqbuf, _seqbuflen);
    }
}

static void mismatched_views(void)
{
    int fd = open_sequencer(O_WRONLY);
    char other_path[4200];
    snprintf(other_path, sizeof other_path, "%s/other", machine_root);
    int other = open(other_path, O_WRONLY | O_CREAT, 0644);
    KVL_init(fd, 64);
    fprintf(stderr, "-- fd\n");
    KVL_seq_needbuf(8, other, _seqbuf, _seqbuflen);
    memset(_seqbuf, 7, 8);
    KVL_seq_advbuf(8, fd, _seqbuf, _seqbuflen);
    KVL_seqbuf_dump(other, _seqbuf, _seqbuflen);
    fprintf(stderr, "-- buf\n");
    unsigned char mine[64];
    KVL_seq_advbuf(0, fd, mine, _seqbuflen);
    fprintf(stderr, "-- buflen\n");
    KVL_seq_advbuf(0, fd, _seqbuf, 2048);
    fprintf(stderr, "-- both\n");
    KVL_seq_advbuf(0, fd, mine, 2048);
}

static void init_on_unloaded_driver(void)
{
    int fd = open_sequencer(O_WRONLY);
    char synths[4200];
    snprintf(synths, sizeof synths, "%s/sequencer.synths", machine_root);
    unlink(synths);
    KVL_init(fd, 64);
    printf("not reached\n");
}

static void implicit_init_on_unloaded_driver(void)
{
    int fd = open_sequencer(O_WRONLY);
    char synths[4200];
    snprintf(synths, sizeof synths, "%s/sequencer.synths", machine_root);
    unlink(synths);
    KVL_seq_needbuf(8, fd, _seqbuf, _seqbuflen);
    printf("not reached\n");
}

static void init_without_synth_info(void)
{
    int fd = open_sequencer(O_WRONLY);
    spy_synth_info_errno = 5; /* EIO */
    KVL_init(fd, 64);
    printf("not reached\n");
}

static void write_patches(void)
{
    int fd = open_sequencer(O_WRONLY);
    KVL_init(fd, 64);
    char other_path[4200];
    snprintf(other_path, sizeof other_path, "%s/other", machine_root);
    int other = open(other_path, O_WRONLY | O_CREAT, 0644);
    unsigned char bytes[5] = {1, 2, 3, 4, 5};
    KVL_write_patch(other, bytes, 5);
    printf("%d\n", KVL_write_patch2(other, bytes, 3));
    printf("%d\n", KVL_write_patch2(other, bytes, -1));
    close(other);
    printf("%d\n", KVL_write_patch2(other, bytes, 3));
    fflush(stdout);
    KVL_write_patch(other, bytes, 3);
    printf("not reached\n");
}

/* Every case above: a machine with the synthesizers synths, body in a child,
 * what it left, and the sizes of the capture and of the file "other". */
struct buffer_case {
    const char *name;
    const char *synths;
    void (*body)(void);
    int buflen; /* init_with_buflen's argument */
    int status;
    const char *out, *err; /* NULL: not checked */
    struct size_check capture, other;
    void (*check)(const struct outcome *o); /* what else must hold, or NULL */
};

static unsigned char capture[4096];

static void first_event_sent(const struct outcome *o)
{
    (void)o;
    EXPECT_INT(capture[0], 0x5a);
}

static void events_in_order(const struct outcome *o)
{
    (void)o;
    int in_order = 1;
    for (int i = 0; i < 2040; i++)
        in_order &= capture[i] == (unsigned char)(i / 8);
    EXPECT(in_order);
}

/* The OPL device looked for its patch files under /etc, once (the case's
 * err); every wave-table device was initialised, and asked for its patch. */
static void classified(const struct outcome *o)
{
    int fd = -1;
    sscanf(o->out, "fd %d", &fd);
    char expected[512];
    snprintf(expected, sizeof expected, "fd %d nrsynths 10 types 2 1 0 1 0 0 1 1 1 1\n", fd);
    EXPECT_STR(o->out, expected);
    char log[1024];
    read_machine_file("gus.log", log, sizeof log);
    snprintf(expected, sizeof expected,
             "gusinit %d 1\ngusinit %d 3\ngusinit %d 6\ngusinit %d 7\ngusinit %d 8\n"
             "gusinit %d 9\ngusload %d 0 1 5\ngusload %d 0 3 163\n",
             fd, fd, fd, fd, fd, fd, fd, fd);
    EXPECT_STR(log, expected);
}

/* Devices 0-63 were classified; only device 63 of those asked caches. */
static void first_64_classified(const struct outcome *o)
{
    int fd = -1;
    sscanf(o->out, "fd %d", &fd);
    static char expected[8192], log[8192];
    snprintf(expected, sizeof expected, "fd %d nrsynths 70\n", fd);
    EXPECT_STR(o->out, expected);
    size_t len = 0;
    for (int dev = 0; dev < 64; dev++)
        len += (size_t)snprintf(expected + len, sizeof expected - len, "gusinit %d %d\n", fd, dev);
    snprintf(expected + len, sizeof expected - len, "gusload %d 0 63 1\ngusload %d 0 63 129\n", fd, fd);
    read_machine_file("gus.log", log, sizeof log);
    EXPECT_STR(log, expected);
}

#define TEN_GUS "GUS\nGUS\nGUS\nGUS\nGUS\nGUS\nGUS\nGUS\nGUS\nGUS\n"

static const struct buffer_case table[] = {
    {.name = "init_buflen", .synths = "GUS\n", .body = init_with_buflen, .buflen = 32,
     .out = "0 32\n", .err = ""},
    {.name = "init_buflen", .synths = "GUS\n", .body = init_with_buflen, .buflen = 2048,
     .out = "0 2048\n", .err = ""},
    {.name = "init_buflen", .synths = "GUS\n", .body = init_with_buflen, .buflen = 31,
     .out = "2 0\n", .err = invalid_buflen},
    {.name = "init_buflen", .synths = "GUS\n", .body = init_with_buflen, .buflen = 2049,
     .out = "2 0\n", .err = invalid_buflen},
    {.name = "init_buflen", .synths = "GUS\n", .body = init_with_buflen, .buflen = -1,
     .out = "2 0\n", .err = invalid_buflen},

    {.name = "init_too_late", .synths = "GUS\n", .body = init_twice, .out = "0 1 1024\n",
     .err = too_late},
    {.name = "init_too_late", .synths = "GUS\n", .body = init_after_invalid, .out = "2 1 0\n",
     .err = "libKVL: KVL_init called with invalid buflen\n"
            "libKVL: KVL_init called too late\n"},
    {.name = "init_too_late", .synths = "GUS\n", .body = init_after_buffer_call, .out = "1 2048\n",
     .err = too_late, .capture = EXACTLY(8), .check = first_event_sent},

    {.name = "flush_boundary", .synths = "GUS\n", .body = fill_to_boundary,
     .out = "waiting 2040\nwaiting 2040\nwrite 2040\nwaiting 0\n", .err = "",
     .capture = EXACTLY(2040), .check = events_in_order},
    {.name = "zero_length_dump", .synths = "GUS\n", .body = dump_empty_then_some,
     .out = "write 0\nwrite 16\nwaiting 0\n", .capture = EXACTLY(16)},
    {.name = "flush_errors_ignored", .synths = "GUS\n", .body = flush_into_refusing_device,
     .out = "waiting 0\nwaiting 8\nwrite 32\nwaiting 0\n", .err = ""},

    {.name = "classification",
     .synths = "OPL\nSB Live\nOPL!\nGUS\nopl\nSB Live \nIWAVE\nSB Audigy\nSAM9407\nSoftKVL\n",
     .body = classify_and_cache,
     .err = "/etc/etc/std.o3: No such file or directory\n"
            "/etc/etc/drums.o3: No such file or directory\n",
     .capture = NOTHING, .check = classified},
    {.name = "many_synths", .synths = TEN_GUS TEN_GUS TEN_GUS TEN_GUS TEN_GUS TEN_GUS TEN_GUS,
     .body = many_synths, .check = first_64_classified},

    /* The events still went to the library's own descriptor. */
    {.name = "inconsistent_views", .synths = "GUS\n", .body = mismatched_views,
     .err = "-- fd\n"
            "KVLlib: seqfd is inconsistent\n"
            "KVLlib: seqfd is inconsistent\n"
            "-- buf\n"
            "KVLlib: _seqbuf is inconsistent\n"
            "-- buflen\n"
            "KVLlib: _seqbuf is inconsistent\n"
            "-- both\n"
            "KVLlib: _seqbuf is inconsistent\n"
            "KVLlib: _seqbuf is inconsistent\n",
     .capture = EXACTLY(8), .other = EXACTLY(0)},

    {.name = "setup_requests_fail", .synths = "GUS\n", .body = init_on_unloaded_driver,
     .status = 255, .out = "", .err = "/dev/sequencer (NRSYNTHS: No such device\n"},
    {.name = "setup_requests_fail", .synths = "GUS\n", .body = implicit_init_on_unloaded_driver,
     .status = 255, .out = "", .err = "/dev/sequencer (NRSYNTHS: No such device\n"},
    {.name = "setup_requests_fail", .synths = "GUS\n", .body = init_without_synth_info,
     .status = 255, .out = "",
     .err = "/dev/sequencer (SYNTH_ID: Input/output error\n"
            "KVL version 3.8 or later is required with KVLlib\n"},

    /* Every call with a descriptor other than the library's warns; the failed
     * write ends the process. */
    {.name = "write_patch", .synths = "GUS\n", .body = write_patches, .status = 255,
     .out = "3\n-1\n-1\n",
     .err = "KVLlib: seqfd is inconsistent\n"
            "KVLlib: seqfd is inconsistent\n"
            "KVLlib: seqfd is inconsistent\n"
            "KVLlib: seqfd is inconsistent\n"
            "KVLlib: seqfd is inconsistent\n"
            "KVL_write_patch: Bad file descriptor\n",
     .capture = NOTHING, .other = EXACTLY(8)},
};

static const char *row_name(size_t row)
{
    return table[row].name;
}

static void run_row(size_t row)
{
    const struct buffer_case *c = &table[row];
    make_machine(c->synths);
    arg_buflen = c->buflen;
    struct outcome o;
    run_child(c->body, &o);
    expect_outcome(&o, c->status, c->out, c->err);
    expect_size("sequencer.capture", read_machine_file("sequencer.capture", capture, sizeof capture),
                c->capture);
    char other[64];
    expect_size("other", read_machine_file("other", other, sizeof other), c->other);
    if (c->check)
        c->check(&o);
    remove_machine();
}

const struct case_table buffer_cases = {sizeof table / sizeof table[0], row_name, run_row};

/* The event path's two forms, the header's inline one and the library's
 * functions (called through their addresses), run the same steps: each must
 * write, count and warn alike, and end the process alike. A step is an op
 * with a length or size: 'i' KVL_init, 'n' KVL_seq_needbuf, 'a'
 * KVL_seq_advbuf, 'p' the application setting _seqbufptr itself, 'd'
 * KVL_seqbuf_dump; view 'o' passes another descriptor, 'u' descriptor -1, 'b'
 * another buffer, 'l' another size, '-' the library's own view. */
struct step {
    char op, view;
    int n;
};

static const struct step *path_steps;
static int path_by_call;

static void run_path(void)
{
    void (*needbuf)(int, int, unsigned char *, int) = KVL_seq_needbuf;
    void (*advbuf)(int, int, unsigned char *, int) = KVL_seq_advbuf;
    int fd = open_sequencer(O_WRONLY);
    char other_path[4200];
    snprintf(other_path, sizeof other_path, "%s/other", machine_root);
    int other = open(other_path, O_WRONLY | O_CREAT, 0644);
    unsigned char mine[64];
    int filled = 0;
    spy_print_writes = 1;
    for (const struct step *s = path_steps; s->op; s++) {
        int f = s->view == 'o' ? other : s->view == 'u' ? -1 : fd;
        unsigned char *b = s->view == 'b' ? mine : _seqbuf;
        int l = s->view == 'l' ? 999 : _seqbuflen;
        switch (s->op) {
        case 'i':
            printf("init %d\n", KVL_init(f, s->n));
            break;
        case 'n':
            if (path_by_call)
                needbuf(s->n, f, b, l);
            else
                KVL_seq_needbuf(s->n, f, b, l);
            break;
        case 'a':
            if (path_by_call)
                advbuf(s->n, f, b, l);
            else
                KVL_seq_advbuf(s->n, f, b, l);
            break;
        case 'p':
            _seqbufptr = s->n;
            break;
        default:
            KVL_seqbuf_dump(f, b, l);
        }
        if (_seqbuf && !filled) { /* the first set-up: known bytes to send */
            memset(_seqbuf, 0x33, (size_t)_seqbuflen);
            filled = 1;
        }
        printf("%c%c%d -> %d\n", s->op, s->view, s->n, _seqbufptr);
    }
}

void case_inline_path_as_calls(void)
{
    static const struct step filling[] = {
        {'i', '-', 64}, {'n', '-', 8}, {'a', '-', 8}, {'n', '-', 56}, {'a', '-', 56},
        {'n', '-', 0}, {'a', '-', 0}, {'n', '-', 1}, {'n', '-', 64}, {'a', '-', 64},
        {'n', '-', 65}, {'a', '-', 65}, {'n', '-', 8}, {'a', '-', -8}, {'a', '-', -8},
        {'n', '-', 4}, {'a', '-', INT_MAX}, {'a', '-', INT_MAX}, {'n', '-', 8},
        {'a', '-', INT_MIN}, {'a', '-', INT_MIN}, {'n', '-', INT_MIN}, {'n', '-', -1},
        {'p', '-', 5000}, {'n', '-', 8}, {'p', '-', 60}, {'a', '-', 8}, {'n', '-', 8},
        {'p', '-', -5}, {'a', '-', 2048}, {'d', '-', 0}, {0, 0, 0}};
    static const struct step views[] = {
        {'i', '-', 64}, {'n', 'o', 8}, {'a', 'o', 8}, {'n', 'b', 8}, {'a', 'b', 8},
        {'n', 'l', 8}, {'a', 'l', 8}, {'n', 'u', 8}, {'a', 'u', 8}, {'n', '-', 64},
        {'d', 'o', 0}, {0, 0, 0}};
    static const struct step implicit_setup[] = {{'a', '-', 0}, {'n', '-', 8}, {'a', '-', 8},
                                                 {'d', '-', 0}, {0, 0, 0}};
    static const struct step unopened[] = {{'a', 'u', 0}, {'a', 'u', 8}, {0, 0, 0}};
    static const struct step unopened_needbuf[] = {{'n', 'u', 0}, {0, 0, 0}};
    static const struct step refused_init[] = {{'i', 'u', 64}, {'n', 'u', 8}, {0, 0, 0}};
    static const struct step *paths[] = {filling, views, implicit_setup, unopened,
                                         unopened_needbuf, refused_init};
    for (size_t i = 0; i < sizeof paths / sizeof paths[0]; i++) {
        struct outcome inline_form, call_form;
        path_steps = paths[i];
        char capture[2][4096];
        long sizes[2];
        for (int by_call = 0; by_call < 2; by_call++) {
            make_machine("GUS\n");
            path_by_call = by_call;
            run_child(run_path, by_call ? &call_form : &inline_form);
            sizes[by_call] = read_machine_file("sequencer.capture", capture[by_call], sizeof capture[0]);
            remove_machine();
        }
        EXPECT_INT(inline_form.status, call_form.status);
        EXPECT_STR(inline_form.out, call_form.out);
        EXPECT_STR(inline_form.err, call_form.err);
        EXPECT_INT(sizes[0], sizes[1]);
        EXPECT(sizes[0] < 0 || memcmp(capture[0], capture[1], (size_t)sizes[0]) == 0);
    }
}
