/* Feeds arbitrary bytes to KVLlib's reader of /etc/kvl.conf. The library's
 * source is included so that its private reader and directory can be reached
 * and reset; the seam below hands it the input instead of the file. */
#include "seqlib/opl3lib.c"
#include "common/kvl_conf.c"

#include <stdint.h>

static const uint8_t *conf_data;
static size_t conf_size;

FILE *kvl_cseam_fopen(const char *path, const char *mode)
{
    if (strcmp(path, "/etc/kvl.conf") != 0 || conf_size == 0)
        return NULL;
    return fmemopen((void *)conf_data, conf_size, mode);
}

int kvl_cseam_open(const char *path, int flags, int mode)
{
    (void)path, (void)flags, (void)mode;
    errno = ENOENT;
    return -1;
}

ssize_t kvl_cseam_read(int fd, void *buf, size_t n)
{
    (void)fd, (void)buf, (void)n;
    errno = EBADF;
    return -1;
}

ssize_t kvl_cseam_write(int fd, const void *buf, size_t n)
{
    (void)fd, (void)buf, (void)n;
    errno = EBADF;
    return -1;
}

int _seqbufptr;
void seqbuf_dump(void) {}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    conf_data = data;
    conf_size = size;
    strcpy(dir_path, "/etc");
    find_kvldir();
    /* Whatever the file says, the directory stays an absolute path that fits
     * and holds no control character. */
    if (dir_path[0] != '/' || memchr(dir_path, '\0', sizeof dir_path) == NULL)
        abort();
    for (const char *p = dir_path; *p; p++)
        if ((unsigned char)*p < 0x20 || *p == 0x7f)
            abort();
    return 0;
}
