/* Feeds arbitrary bytes to KVLlib's FM patch loader as both patch files,
 * etc/std.o3 and etc/drums.o3. The library's source is included so that its
 * instrument map and files can be reset for every input; the seam below
 * opens the input as an in-memory file and checks every patch record the
 * loader writes against the file record it came from. Only instruments whose
 * 60-byte record lies wholly in the input are asked for: a shorter file ends
 * the process by design. */
#define _GNU_SOURCE
#include "seqlib/opl3lib.c"

#include <sys/mman.h>

#define FAKE_SEQ_FD 1000

static const uint8_t *file_data;
static size_t file_size;
static int expect_instr, expect_dev, writes;

int _seqbufptr;
void seqbuf_dump(void) {}

FILE *kvl_cseam_fopen(const char *path, const char *mode)
{
    (void)path, (void)mode;
    errno = ENOENT;
    return NULL;
}

int kvl_cseam_open(const char *path, int flags, int mode)
{
    (void)flags, (void)mode;
    size_t len = strlen(path);
    if (len < 3 || strcmp(path + len - 3, ".o3") != 0) {
        errno = ENOENT;
        return -1;
    }
    int fd = memfd_create("patches", 0);
    if (fd < 0 || write(fd, file_data, file_size) != (ssize_t)file_size)
        abort();
    return fd;
}

ssize_t kvl_cseam_read(int fd, void *buf, size_t n)
{
    return read(fd, buf, n);
}

ssize_t kvl_cseam_write(int fd, const void *buf, size_t n)
{
    const unsigned char *p = buf;
    if (fd != FAKE_SEQ_FD || n != PATCH_BYTES)
        abort();
    const unsigned char *rec = file_data + (size_t)(expect_instr % 128) * RECORD_BYTES;
    unsigned key = memcmp(rec, "4OP", 3) == 0 ? KEY_4OP : KEY_2OP;
    if (p[0] != (key & 0xff) || p[1] != key >> 8 || p[2] != expect_dev || p[3] != 0 ||
        p[4] != expect_instr || p[5] || p[6] || p[7] ||
        memcmp(p + PATCH_DATA, rec + RECORD_DATA, DATA_BYTES) != 0)
        abort();
    for (size_t i = PATCH_DATA + DATA_BYTES; i < PATCH_BYTES; i++)
        if (p[i])
            abort();
    writes++;
    return (ssize_t)n;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    file_data = data;
    file_size = size;
    memset(instrmap, 0, sizeof instrmap);
    instrmap[0] = -1;
    initialized = 0;
    writes = 0;
    expect_dev = size ? data[0] % 64 : 0;

    int valid = 0;
    for (int instr = 0; instr < 256; instr++) {
        size_t end = (size_t)(instr % 128 + 1) * RECORD_BYTES;
        if (end > size)
            continue;
        const uint8_t *rec = data + end - RECORD_BYTES;
        int ok = memcmp(rec, "4OP", 3) == 0 || memcmp(rec, "2OP", 3) == 0;
        valid += ok;
        expect_instr = instr;
        opl3load(FAKE_SEQ_FD, 0, expect_dev, instr);
        /* Once sent (or found invalid), an instrument is never tried again. */
        opl3load(FAKE_SEQ_FD, 0, expect_dev, instr);
    }
    if (writes != valid)
        abort();
    if (stdfile >= 0)
        close(stdfile);
    if (drumfile >= 0)
        close(drumfile);
    stdfile = drumfile = -1;
    return 0;
}
