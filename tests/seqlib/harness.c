#define _DEFAULT_SOURCE
#define _XOPEN_SOURCE 700
#include "harness.h"

#include "kvllib.h"

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

char machine_root[PATH_MAX];
int failures;

void expect_str(const char *file, int line, const char *what, const char *actual,
                const char *expected)
{
    if (strcmp(actual, expected) != 0) {
        fprintf(stderr, "%s:%d: %s is\n---\n%s---\nexpected\n---\n%s---\n", file, line, what,
                actual, expected);
        failures++;
    }
}

void expect_outcome(const struct outcome *o, int status, const char *out, const char *err)
{
    EXPECT_INT(o->status, status);
    if (out)
        EXPECT_STR(o->out, out);
    if (err)
        EXPECT_STR(o->err, err);
}

void expect_size(const char *rel, long got, struct size_check want)
{
    if (!want.checked || (want.bytes < 0 ? got <= 0 : got == want.bytes))
        return;
    if (got < 0)
        fprintf(stderr, "%s is missing, expected %ld bytes\n", rel, want.bytes);
    else if (want.bytes < 0)
        fprintf(stderr, "%s holds %ld bytes, expected none\n", rel, got);
    else
        fprintf(stderr, "%s holds %ld bytes, expected %ld\n", rel, got, want.bytes);
    failures++;
}

/* out = machine_root + rel; a path that does not fit ends the harness. */
static void machine_path(char *out, size_t cap, const char *rel)
{
    int n = snprintf(out, cap, "%s%s", machine_root, rel);
    if (n < 0 || (size_t)n >= cap) {
        fprintf(stderr, "path too long: %s%s\n", machine_root, rel);
        exit(2);
    }
}

static void make_dirs(const char *path)
{
    char buf[PATH_MAX];
    if (strlen(path) >= sizeof buf)
        exit(2);
    strcpy(buf, path);
    for (char *p = buf + 1; *p; p++) {
        if (*p == '/') {
            *p = '\0';
            mkdir(buf, 0755);
            *p = '/';
        }
    }
    mkdir(buf, 0755);
}

void write_machine_file(const char *rel, const void *text, size_t len)
{
    char path[PATH_MAX], dir[PATH_MAX];
    char slashed[PATH_MAX];
    if (strlen(rel) + 2 > sizeof slashed)
        exit(2);
    slashed[0] = '/';
    strcpy(slashed + 1, rel);
    machine_path(path, sizeof path, slashed);
    strcpy(dir, path);
    *strrchr(dir, '/') = '\0';
    make_dirs(dir);
    FILE *f = fopen(path, "wb");
    if (!f || fwrite(text, 1, len, f) != len || fclose(f) != 0) {
        perror(path);
        exit(2);
    }
}

long read_machine_file(const char *rel, void *buf, size_t cap)
{
    char path[PATH_MAX], slashed[PATH_MAX];
    if (strlen(rel) + 2 > sizeof slashed)
        exit(2);
    slashed[0] = '/';
    strcpy(slashed + 1, rel);
    machine_path(path, sizeof path, slashed);
    FILE *f = fopen(path, "rb");
    if (!f) {
        ((char *)buf)[0] = '\0';
        return -1;
    }
    size_t n = fread(buf, 1, cap - 1, f);
    fclose(f);
    ((char *)buf)[n] = '\0';
    return (long)n;
}

void make_machine(const char *synths)
{
    const char *tmp = getenv("TMPDIR");
    snprintf(machine_root, sizeof machine_root, "%s/kvlseq.XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (!mkdtemp(machine_root)) {
        perror("mkdtemp");
        exit(2);
    }
    const char node[] = "KVLSIM-CHR 14 1\n";
    write_machine_file("dev/sequencer", node, strlen(node));
    char path[PATH_MAX];
    machine_path(path, sizeof path, "/dev/sequencer");
    chmod(path, 0666);
    machine_path(path, sizeof path, "/etc");
    make_dirs(path);
    if (synths)
        write_machine_file("sequencer.synths", synths, strlen(synths));
    setenv("KVL_SIMROOT", machine_root, 1);
    unsetenv("KVL_GUS_LOG");
}

static int remove_entry(const char *path, const struct stat *st, int flag, struct FTW *ftw)
{
    (void)st;
    (void)flag;
    (void)ftw;
    return remove(path);
}

void remove_machine(void)
{
    if (machine_root[0])
        nftw(machine_root, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    machine_root[0] = '\0';
}

static void slurp(const char *path, char *buf, size_t cap)
{
    FILE *f = fopen(path, "rb");
    size_t n = f ? fread(buf, 1, cap - 1, f) : 0;
    if (f)
        fclose(f);
    buf[n] = '\0';
}

void run_child(void (*body)(void), struct outcome *o)
{
    char out[PATH_MAX], err[PATH_MAX];
    machine_path(out, sizeof out, "/child.out");
    machine_path(err, sizeof err, "/child.err");
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) {
        perror("fork");
        exit(2);
    }
    if (pid == 0) {
        if (!freopen(out, "w", stdout) || !freopen(err, "w", stderr))
            _exit(3);
        body();
        exit(0);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    o->status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    slurp(out, o->out, sizeof o->out);
    slurp(err, o->err, sizeof o->err);
    unlink(out);
    unlink(err);
}

int open_sequencer(int flags)
{
    int fd = kvllib_open("/dev/sequencer", flags, 0);
    if (fd < 0) {
        perror("kvllib_open /dev/sequencer");
        exit(4);
    }
    return fd;
}
