/* /etc/kvl.conf: the KVLLIBDIR= line, byte by byte, so that no line length
 * or NUL byte can mislead it. */
#include "common/kvl_conf.h"

#include <string.h>

static const char KEY[] = "KVLLIBDIR=";
#define KEY_LENGTH (sizeof KEY - 1)

static void new_line(struct KvlConfScan *scan)
{
    scan->skip = 0;
    scan->column = 0;
    scan->length = 0;
    scan->carriage_return = 0;
}

/* The line ends: its value names the directory when nothing spoilt it. */
static void end_line(struct KvlConfScan *scan)
{
    if (!scan->skip && scan->column >= KEY_LENGTH && scan->length > 0 && scan->value[0] == '/') {
        scan->value[scan->length] = '\0';
        memcpy(scan->dir, scan->value, scan->length + 1);
        scan->found = 1;
    }
    new_line(scan);
}

static int is_control(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

/* One byte of the value, after the key. */
static void value_byte(struct KvlConfScan *scan, unsigned char c)
{
    if (scan->carriage_return) {
        scan->carriage_return = 0;
        scan->skip = 1; /* a CR that does not end the line */
        return;
    }
    if (c == '\r') {
        scan->carriage_return = 1;
        return;
    }
    if (is_control(c) || scan->length >= KVL_CONF_DIR_MAX) {
        scan->skip = 1;
        return;
    }
    scan->value[scan->length++] = (char)c;
}

void kvl_conf_begin(struct KvlConfScan *scan)
{
    memset(scan, 0, sizeof *scan);
}

void kvl_conf_feed(struct KvlConfScan *scan, const char *bytes, size_t n)
{
    for (size_t i = 0; i < n && !scan->found; i++) {
        unsigned char c = (unsigned char)bytes[i];
        if (c == '\n') {
            end_line(scan);
            continue;
        }
        if (scan->skip)
            continue;
        if (scan->column < KEY_LENGTH) {
            if (c != (unsigned char)KEY[scan->column])
                scan->skip = 1;
            scan->column++;
            continue;
        }
        value_byte(scan, c);
    }
}

int kvl_conf_end(struct KvlConfScan *scan)
{
    if (!scan->found)
        end_line(scan);
    return scan->found;
}

int kvl_conf_install_dir(const char *text, size_t n, char *dir)
{
    struct KvlConfScan scan;
    kvl_conf_begin(&scan);
    kvl_conf_feed(&scan, text, n);
    if (!kvl_conf_end(&scan))
        return 0;
    memcpy(dir, scan.dir, strlen(scan.dir) + 1);
    return 1;
}

int kvl_conf_read_install_dir(FILE *f, char *dir)
{
    struct KvlConfScan scan;
    kvl_conf_begin(&scan);
    char block[4096];
    size_t n;
    while (!scan.found && (n = fread(block, 1, sizeof block, f)) > 0)
        kvl_conf_feed(&scan, block, n);
    if (!scan.found && ferror(f))
        return -1;
    if (!kvl_conf_end(&scan))
        return 0;
    memcpy(dir, scan.dir, strlen(scan.dir) + 1);
    return 1;
}
