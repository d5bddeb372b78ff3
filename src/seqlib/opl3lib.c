/* The FM patch loader: sends instruments from etc/std.o3 and etc/drums.o3 to
 * an OPL synthesizer once each. */
#include "kvllib.h"
#include "seqlib_private.h"

#include "common/kvl_conf.h"
#include "sys/cseam.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define RECORD_BYTES 60       /* one instrument in a patch file */
#define RECORD_DATA 36        /* offset of the operator register data */
#define DATA_BYTES 22         /* operator register bytes passed on */
#define PATCH_BYTES 40        /* the patch record sent to the driver */
#define PATCH_DATA 8          /* offset of the operator data in it */
#define KEY_4OP 0x03FD
#define KEY_2OP 0x01FD

#ifndef ENODATA
#define ENODATA EIO
#endif

/* Entry i equals i once instrument i was sent; entry 0 starts at -1 so that
 * instrument 0 does not count as sent. */
static int instrmap[256] = {-1};
static int initialized = 0;
static char dir_path[KVL_CONF_DIR_MAX + 1] = "/etc";
static int stdfile = -1;
static int drumfile = -1;

/* Sets dir_path from /etc/kvl.conf, read as every program reads it
 * (common/kvl_conf.h); no file, no usable line or a read error leaves
 * "/etc". Silent. */
static void find_kvldir(void)
{
    FILE *f = kvl_cseam_fopen("/etc/kvl.conf", "r");
    if (!f)
        return;
    kvl_conf_read_install_dir(f, dir_path);
    fclose(f);
}

/* Opens dir_path/etc/name read-only; -1 after printing the path and the
 * error text. */
static int open_patch_file(const char *name)
{
    char path[sizeof dir_path + sizeof "/etc/" + sizeof "drums.o3"];
    snprintf(path, sizeof path, "%s/etc/%s", dir_path, name);
    int fd = kvl_cseam_open(path, O_RDONLY, 0);
    if (fd < 0)
        perror(path);
    return fd;
}

int opl3init(int seqfd, int dev)
{
    (void)seqfd;
    (void)dev;
    if (initialized)
        return 0;
    find_kvldir();
    stdfile = open_patch_file("std.o3");
    drumfile = open_patch_file("drums.o3");
    initialized = 1;
    return 0;
}

/* Reads record index of the patch file fd into record; on a failed seek or
 * fewer than 60 bytes prints "name: error text" and ends the process with
 * status 255. */
static void read_record(int fd, const char *name, int index, unsigned char *record)
{
    size_t got = 0;
    if (lseek(fd, (off_t)index * RECORD_BYTES, SEEK_SET) != -1) {
        errno = 0;
        while (got < RECORD_BYTES) {
            ssize_t n = kvl_cseam_read(fd, record + got, RECORD_BYTES - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += (size_t)n;
        }
        /* A file that simply ends early has no error of its own to report. */
        if (got < RECORD_BYTES && errno == 0)
            errno = ENODATA;
    }
    if (got < RECORD_BYTES) {
        perror(name);
        exit(-1);
    }
}

static void put16(unsigned char *p, unsigned v)
{
    p[0] = (unsigned char)(v & 0xff);
    p[1] = (unsigned char)((v >> 8) & 0xff);
}

static void put32(unsigned char *p, uint32_t v)
{
    put16(p, v & 0xffff);
    put16(p + 2, v >> 16);
}

int opl3load(int seqfd, int reserved, int dev, int instr)
{
    (void)reserved;
    if (!initialized)
        opl3init(seqfd, dev);
    if (stdfile == -1 || drumfile == -1)
        return 0;
    if (instr < 0 || instr > 255)
        return 0;
    if (instrmap[instr] == instr)
        return 0;
    /* Marked before the attempt: an invalid record is reported only once. */
    instrmap[instr] = instr;

    int drum = instr > 127;
    const char *name = drum ? "drums.o3" : "std.o3";
    unsigned char record[RECORD_BYTES];
    read_record(drum ? drumfile : stdfile, name, drum ? instr - 128 : instr, record);

    unsigned key;
    if (memcmp(record, "4OP", 3) == 0) {
        key = KEY_4OP;
    } else if (memcmp(record, "2OP", 3) == 0) {
        key = KEY_2OP;
    } else {
        fprintf(stderr, "KVLlib: Invalid OPL3 patch file %s, instr=%d\n", name, instr % 128);
        return 0;
    }

    unsigned char patch[PATCH_BYTES];
    memset(patch, 0, sizeof patch);
    put16(patch, key);
    put16(patch + 2, (unsigned)dev & 0xffff);
    put32(patch + 4, (uint32_t)instr);
    memcpy(patch + PATCH_DATA, record + RECORD_DATA, DATA_BYTES);

    /* The patch follows the events already queued. */
    if (_seqbufptr != 0)
        seqbuf_dump();
    if (kvl_cseam_write(seqfd, patch, sizeof patch) == -1)
        perror("Write patch: /dev/sequencer");
    return 0;
}
