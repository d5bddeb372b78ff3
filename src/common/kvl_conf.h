/* The one reader of /etc/kvl.conf, in C so that KVLlib (C alone) and the
 * programs share it; bin/kvlconf.sh follows the same rule in the shell.
 *
 * The installation directory is the value of the first line that starts
 * with "KVLLIBDIR=" and whose value is a usable path: it starts with "/",
 * is at most KVL_CONF_DIR_MAX bytes long and holds no control character (a
 * NUL byte, a tab, ... 0x01-0x1f and 0x7f). Lines end at a newline; one
 * carriage return right before it (or at the end of the file) is not part of
 * the line. Lines are read whole, whatever their length. Every other line
 * (other keys, relative, empty, overlong or damaged values) is skipped, and
 * a later line can still name the directory. */
#ifndef KVL_COMMON_KVL_CONF_H
#define KVL_COMMON_KVL_CONF_H

#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KVL_CONF_DIR_MAX 255 /* bytes of a value: it fits char[256] */

/* The reading state: bytes go in with kvl_conf_feed, in pieces of any size. */
struct KvlConfScan {
    int found;                        /* dir holds the directory */
    int skip;                         /* this line can no longer name it */
    size_t column;                    /* bytes of this line so far */
    size_t length;                    /* bytes of the value so far */
    int carriage_return;              /* the last byte was a CR, not yet kept */
    char value[KVL_CONF_DIR_MAX + 1]; /* this line's value, NUL-terminated */
    char dir[KVL_CONF_DIR_MAX + 1];   /* the directory once found */
};

void kvl_conf_begin(struct KvlConfScan *scan);
void kvl_conf_feed(struct KvlConfScan *scan, const char *bytes, size_t n);
/* Ends the text (its last line needs no newline). Returns 1 with the
 * directory in scan->dir, or 0 when no line names one. */
int kvl_conf_end(struct KvlConfScan *scan);

/* The whole text of n bytes: 1 with the directory copied to dir (256 bytes),
 * or 0 with dir unchanged. */
int kvl_conf_install_dir(const char *text, size_t n, char *dir);

/* The same for an open file, read to its end: 1 or 0 as above, or -1 with
 * errno set on a read error (dir unchanged). */
int kvl_conf_read_install_dir(FILE *f, char *dir);

#ifdef __cplusplus
}
#endif

#endif
