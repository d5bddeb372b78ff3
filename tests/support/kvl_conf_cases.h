/* The cases of /etc/kvl.conf that every reader of the file must agree on:
 * the C reader that KVLlib and the programs share, the control panel's use
 * of it, KVLlib's loader and the shell tools' kvlconf.sh. C, so that the C
 * cases of KVLlib include it too. */
#ifndef KVLTEST_KVL_CONF_CASES_H
#define KVLTEST_KVL_CONF_CASES_H

#include <stddef.h>

struct KvlConfCase {
    const char *name;
    const char *text; /* the file's bytes, NULs included */
    size_t size;
    const char *dir; /* the directory named, or NULL: none */
};

#define KVL_X4 "xxxx"
#define KVL_X16 KVL_X4 KVL_X4 KVL_X4 KVL_X4
#define KVL_X64 KVL_X16 KVL_X16 KVL_X16 KVL_X16
#define KVL_X254 KVL_X64 KVL_X64 KVL_X64 KVL_X16 KVL_X16 KVL_X16 KVL_X4 KVL_X4 KVL_X4 "xx"
#define KVL_X1024 KVL_X64 KVL_X64 KVL_X64 KVL_X64 KVL_X64 KVL_X64 KVL_X64 KVL_X64 \
    KVL_X64 KVL_X64 KVL_X64 KVL_X64 KVL_X64 KVL_X64 KVL_X64 KVL_X64
#define KVL_CONF_CASE(name, text, dir) {name, text, sizeof text - 1, dir}

static const struct KvlConfCase KVL_CONF_CASES[] = {
    KVL_CONF_CASE("the first usable line wins", "# a\nOTHER=/o\nKVLLIBDIR=/opt/a\nKVLLIBDIR=/opt/b\n",
                  "/opt/a"),
    KVL_CONF_CASE("relative and empty values are skipped",
                  "KVLLIBDIR=rel/dir\nKVLLIBDIR=\nKVLLIBDIR= /opt/blank\nKVLLIBDIR=/opt/abs\n",
                  "/opt/abs"),
    KVL_CONF_CASE("no line of the key itself",
                  "KVLLIBDIR =/spaced\nKVLLIBDIRX=/x\nXKVLLIBDIR=/x\nKVLLIBDIR\n KVLLIBDIR=/indented\n",
                  NULL),
    KVL_CONF_CASE("empty file", "", NULL),
    KVL_CONF_CASE("the value verbatim", "KVLLIBDIR=/opt/my dir =x \n", "/opt/my dir =x "),
    KVL_CONF_CASE("no final newline", "KVLLIBDIR=/opt/c", "/opt/c"),
    KVL_CONF_CASE("CRLF line end", "KVLLIBDIR=/opt/crlf\r\n", "/opt/crlf"),
    KVL_CONF_CASE("CR at the end of the file", "KVLLIBDIR=/opt/cr\r", "/opt/cr"),
    KVL_CONF_CASE("a CR inside the value", "KVLLIBDIR=/opt/x\r\r\nKVLLIBDIR=/opt/in\ry\nKVLLIBDIR=/opt/y\n",
                  "/opt/y"),
    KVL_CONF_CASE("a NUL in the value", "KVLLIBDIR=/some/file\0/x\nKVLLIBDIR=/opt/after\n", "/opt/after"),
    KVL_CONF_CASE("a NUL ending the value", "KVLLIBDIR=/opt/z\0\n", NULL),
    KVL_CONF_CASE("a NUL in the key", "KVLLIB\0DIR=/opt/k\n", NULL),
    KVL_CONF_CASE("a NUL elsewhere does no harm", "# \0 nul\nKVLLIBDIR=/opt/n\n# \0\n", "/opt/n"),
    KVL_CONF_CASE("other control characters", "KVLLIBDIR=/opt/\tt\nKVLLIBDIR=/opt/\x7f\n", NULL),
    KVL_CONF_CASE("bytes beyond ASCII", "KVLLIBDIR=/opt/\xc3\xa9t\xc3\xa9\n", "/opt/\xc3\xa9t\xc3\xa9"),
    KVL_CONF_CASE("255 bytes fit", "KVLLIBDIR=/" KVL_X254 "\n", "/" KVL_X254),
    KVL_CONF_CASE("256 bytes do not", "KVLLIBDIR=/" KVL_X254 "x\nKVLLIBDIR=/opt/fits\n", "/opt/fits"),
    KVL_CONF_CASE("a long line is one line",
                  "#" KVL_X1024 "KVLLIBDIR=/tail\n" KVL_X254 "\nKVLLIBDIR=/opt/d\n", "/opt/d"),
};

#define KVL_CONF_CASE_COUNT (sizeof KVL_CONF_CASES / sizeof KVL_CONF_CASES[0])

#endif
