/* The simulated /dev/sequencer shared by the C seam and the C++ simulator. */
#define _DEFAULT_SOURCE
#include "seqsim.h"

#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <limits.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#define NODE_MAGIC "KVLSIM-CHR"
#define FAULTS_MAGIC "KVLSIM-FAULTS"

int seqsim_path(const char *root, const char *file, char *out, size_t cap)
{
    int n = snprintf(out, cap, "%s%s", root, file);
    if (n < 0 || (size_t)n >= cap) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return 0;
}

static const struct {
    int value;
    const char *name;
} errno_names[] = {
    {EPERM, "EPERM"},     {ENOENT, "ENOENT"},   {EINTR, "EINTR"},         {EIO, "EIO"},
    {ENXIO, "ENXIO"},     {E2BIG, "E2BIG"},     {EBADF, "EBADF"},         {EAGAIN, "EAGAIN"},
    {ENOMEM, "ENOMEM"},   {EACCES, "EACCES"},   {EFAULT, "EFAULT"},       {EBUSY, "EBUSY"},
    {EEXIST, "EEXIST"},   {ENODEV, "ENODEV"},   {ENOTDIR, "ENOTDIR"},     {EISDIR, "EISDIR"},
    {EINVAL, "EINVAL"},   {ENFILE, "ENFILE"},   {EMFILE, "EMFILE"},       {ENOTTY, "ENOTTY"},
    {EFBIG, "EFBIG"},     {ENOSPC, "ENOSPC"},   {EROFS, "EROFS"},         {EPIPE, "EPIPE"},
    {ERANGE, "ERANGE"},   {ENOSYS, "ENOSYS"},   {ETIMEDOUT, "ETIMEDOUT"}, {EOPNOTSUPP, "EOPNOTSUPP"},
    {ENAMETOOLONG, "ENAMETOOLONG"},
};
#define ERRNO_NAMES (sizeof errno_names / sizeof errno_names[0])

const char *seqsim_errno_name(int err, char buf[SEQSIM_ERRNAME_BYTES])
{
    for (size_t i = 0; i < ERRNO_NAMES; i++)
        if (errno_names[i].value == err)
            return errno_names[i].name;
    snprintf(buf, SEQSIM_ERRNAME_BYTES, "E%d", err);
    return buf;
}

int seqsim_errno_value(const char *name)
{
    for (size_t i = 0; i < ERRNO_NAMES; i++)
        if (strcmp(errno_names[i].name, name) == 0)
            return errno_names[i].value;
    return 0;
}

int seqsim_node_read(const char *file, int *major, int *minor)
{
    int fd = open(file, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    char text[64];
    ssize_t n = -1;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < (off_t)sizeof text)
        n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return -1;
    text[n] = '\0';
    int ma, mi;
    /* Only the exact text: a file that merely resembles a node is none. */
    char again[64];
    if (sscanf(text, NODE_MAGIC " %d %d", &ma, &mi) != 2 || ma < 0 || mi < 0)
        return -1;
    /* Compared with the bytes read, so NUL bytes after the text count too. */
    int len = snprintf(again, sizeof again, NODE_MAGIC " %d %d\n", ma, mi);
    if (len != n || memcmp(again, text, (size_t)n) != 0)
        return -1;
    *major = ma;
    *minor = mi;
    return 0;
}

int seqsim_write_all(int fd, const void *data, size_t n, off_t offset)
{
    struct sigaction ignore, saved;
    memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &saved);
    const char *p = data;
    int rc = 0;
    while (n > 0) {
        ssize_t w = offset < 0 ? write(fd, p, n) : pwrite(fd, p, n, offset);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            rc = -1;
            break;
        }
        p += w;
        n -= (size_t)w;
        if (offset >= 0)
            offset += w;
    }
    int e = errno;
    sigaction(SIGXFSZ, &saved, NULL);
    errno = e;
    return rc;
}

static int write_all(int fd, const char *p, size_t n)
{
    return seqsim_write_all(fd, p, n, -1);
}

/* Closes fd; -1 with the first error when rc was already -1 or close fails. */
static int close_keeping(int fd, int rc)
{
    int e = errno;
    if (close(fd) < 0 && rc == 0)
        return -1;
    errno = e;
    return rc;
}

/* A node file with exactly perms (exact), or with perms less the umask, as
 * mknod makes a node. */
static int node_write(const char *file, int major, int minor, mode_t perms, int exact)
{
    int fd = open(file, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exact ? 0600 : perms & 07777);
    if (fd < 0)
        return -1;
    char text[64];
    int len = snprintf(text, sizeof text, NODE_MAGIC " %d %d\n", major, minor);
    int rc = write_all(fd, text, (size_t)len);
    if (rc == 0 && exact && fchmod(fd, perms & 07777) < 0)
        rc = -1;
    rc = close_keeping(fd, rc);
    if (rc < 0) {
        int e = errno;
        unlink(file);
        errno = e;
    }
    return rc;
}

int seqsim_node_create(const char *file, int major, int minor, mode_t perms)
{
    return node_write(file, major, minor, perms, 1);
}

int seqsim_node_make(const char *file, int major, int minor, mode_t perms)
{
    return node_write(file, major, minor, perms, 0);
}

int seqsim_lock(const char *root)
{
    return seqsim_lock_wait(root, 0, SEQSIM_LOCK_WAIT_MS);
}

int seqsim_lock_wait(const char *root, int shared, int wait_ms)
{
    char path[PATH_MAX];
    if (seqsim_path(root, SEQSIM_LOCK_FILE, path, sizeof path) < 0)
        return -1;
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    /* Polled rather than blocking, so a hung holder ends the wait; the pause
     * grows from 50 microseconds to 1.6 ms, short next to a request. */
    struct timespec start, now, pause = {0, 50000};
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) < 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            close_keeping(fd, -1);
            return -1;
        }
        clock_gettime(CLOCK_MONOTONIC, &now);
        /* In nanoseconds: rounding the two parts apart could end the wait
         * up to a millisecond early. */
        long long waited_ns = (now.tv_sec - start.tv_sec) * 1000000000LL +
                              (now.tv_nsec - start.tv_nsec);
        if (waited_ns >= wait_ms * 1000000LL) {
            close(fd);
            errno = EBUSY;
            return -1;
        }
        nanosleep(&pause, NULL);
        if (pause.tv_nsec < 1000000)
            pause.tv_nsec *= 2;
    }
    return fd;
}

void seqsim_unlock(int fd)
{
    if (fd >= 0)
        close(fd); /* closing releases the lock */
}

static int append_file(const char *root, const char *file, const void *data, size_t n)
{
    char path[PATH_MAX];
    if (seqsim_path(root, file, path, sizeof path) < 0)
        return -1;
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    /* The caller holds the lock, so the end now is where our bytes start. */
    off_t start = lseek(fd, 0, SEEK_END);
    int rc = seqsim_write_all(fd, data, n, -1);
    if (rc < 0 && start >= 0) {
        /* Nothing of a cut write stays: the file ends where it ended. */
        int e = errno;
        (void)!ftruncate(fd, start);
        errno = e;
    }
    return close_keeping(fd, rc);
}

int seqsim_journal_append(const char *root, const char *line)
{
    return append_file(root, SEQSIM_JOURNAL_FILE, line, strlen(line));
}

int seqsim_capture_append(const char *root, const void *data, size_t n)
{
    return append_file(root, SEQSIM_CAPTURE_FILE, data, n);
}

int seqsim_synths_read(const char *root, int want, char name[KVL_SYNTH_NAME_BYTES])
{
    char path[PATH_MAX];
    if (seqsim_path(root, SEQSIM_SYNTHS_FILE, path, sizeof path) < 0)
        return -1;
    FILE *f = fopen(path, "re");
    if (!f) {
        if (errno == ENOENT)
            errno = ENODEV;
        return -1;
    }
    int count = 0;
    char *line = NULL;
    size_t cap = 0;
    ssize_t len;
    while ((len = getline(&line, &cap, f)) >= 0) {
        if (count == want) {
            if (len > 0 && line[len - 1] == '\n')
                line[--len] = '\0';
            strncpy(name, line, KVL_SYNTH_NAME_BYTES - 1);
            name[KVL_SYNTH_NAME_BYTES - 1] = '\0';
        }
        if (count < INT32_MAX)
            count++;
    }
    free(line);
    fclose(f);
    return count;
}

int seqsim_is_request(unsigned long code)
{
    return code == KVL_SEQ_NRSYNTHS || code == KVL_SEQ_SYNTH_INFO;
}

static const char *request_name(unsigned long code)
{
    return code == KVL_SEQ_NRSYNTHS ? "SNDCTL_SEQ_NRSYNTHS" : "SNDCTL_SYNTH_INFO";
}

/* Writes text as a JSON string body: quote and backslash escaped, every byte
 * outside printable ASCII as \u00XX. out holds 6 * strlen(text) + 1. */
static void json_escape(const char *text, char *out)
{
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        if (*p == '"' || *p == '\\') {
            *out++ = '\\';
            *out++ = (char)*p;
        } else if (*p < 0x20 || *p >= 0x7f) {
            out += sprintf(out, "\\u%04x", *p);
        } else {
            *out++ = (char)*p;
        }
    }
    *out = '\0';
}

/* The decoded record fields of a journal line; a negative device or synths
 * count and an empty name are left out. */
struct fields {
    int synths;
    int device;
    const char *name;
};

static void journal_line(char line[SEQSIM_LINE_BYTES], unsigned long code, int rc,
                         const struct fields *f)
{
    char errbuf[SEQSIM_ERRNAME_BYTES], errtext[SEQSIM_ERRNAME_BYTES + 2] = "null";
    if (rc < 0)
        snprintf(errtext, sizeof errtext, "\"%s\"", seqsim_errno_name(-rc, errbuf));
    int n = snprintf(line, SEQSIM_LINE_BYTES, "{\"request\":\"%s\",\"result\":%d,\"errno\":%s",
                     request_name(code), rc < 0 ? -1 : rc, errtext);
    if (f->synths >= 0)
        n += snprintf(line + n, SEQSIM_LINE_BYTES - n, ",\"synths\":%d", f->synths);
    if (f->device != INT32_MIN)
        n += snprintf(line + n, SEQSIM_LINE_BYTES - n, ",\"device\":%d", f->device);
    if (f->name) {
        char escaped[KVL_SYNTH_NAME_BYTES * 6 + 1];
        json_escape(f->name, escaped);
        n += snprintf(line + n, SEQSIM_LINE_BYTES - n, ",\"name\":\"%s\"", escaped);
    }
    snprintf(line + n, SEQSIM_LINE_BYTES - n, "}\n");
}

int seqsim_answer(const struct seqsim_driver *d, unsigned long code, void *arg,
                  char line[SEQSIM_LINE_BYTES])
{
    struct fields f = {-1, INT32_MIN, NULL};
    line[0] = '\0';
    if (!seqsim_is_request(code)) {
        snprintf(line, SEQSIM_LINE_BYTES,
                 "{\"request\":\"unknown request\",\"result\":-1,\"errno\":\"EINVAL\","
                 "\"code\":\"0x%08lx\"}\n",
                 code);
        return -EINVAL;
    }
    int rc = 0;
    char name[KVL_SYNTH_NAME_BYTES] = "";
    if (d->synths(d->ctx, -1, name) < 0) {
        rc = -errno;
    } else if (!arg) {
        rc = -EFAULT;
    } else {
        int fault = d->fault ? d->fault(d->ctx, code) : 0;
        if (fault < 0)
            return -EIO;
        int32_t device = 0;
        if (code == KVL_SEQ_SYNTH_INFO) {
            memcpy(&device, (char *)arg + KVL_SYNTH_INFO_DEVICE, sizeof device);
            f.device = device;
        }
        int count = d->synths(d->ctx, device, name);
        if (count < 0) {
            rc = -errno;
        } else if (code == KVL_SEQ_NRSYNTHS) {
            f.synths = count;
            if (!fault) {
                int32_t n = count;
                memcpy(arg, &n, sizeof n);
            }
        } else if (device < 0 || device >= count) {
            rc = -ENXIO;
        } else {
            f.name = name;
            if (!fault) {
                memset(arg, 0, KVL_SYNTH_INFO_BYTES);
                memcpy(arg, name, strlen(name));
                memcpy((char *)arg + KVL_SYNTH_INFO_DEVICE, &device, sizeof device);
            }
        }
        if (fault)
            rc = -fault;
    }
    journal_line(line, code, rc, &f);
    return rc;
}

int seqsim_faults_legacy_header(const char *root, char *out, size_t cap)
{
    char path[PATH_MAX];
    struct stat st;
    if (seqsim_path(root, SEQSIM_MACHINE_FILE, path, sizeof path) < 0 || stat(path, &st) < 0)
        return -1;
    int n = snprintf(out, cap, FAULTS_MAGIC " %ju %ju %jd %jd %ld", (uintmax_t)st.st_dev,
                     (uintmax_t)st.st_ino, (intmax_t)st.st_size, (intmax_t)st.st_mtim.tv_sec,
                     (long)st.st_mtim.tv_nsec);
    if (n < 0 || (size_t)n >= cap) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return 0;
}

int seqsim_fault_line(const struct seqsim_fault *f, char *out, size_t cap)
{
    if (strchr(f->target, '\n')) {
        errno = EINVAL;
        return -1;
    }
    int n = snprintf(out, cap, "%s %s %d %d %s %s\n", f->id, f->err, f->nth, f->calls,
                     f->open ? "open" : "request", f->target);
    if (n < 0 || (size_t)n >= cap) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return 0;
}

/* The next word of *p (blanks before it skipped) into out, at most cap - 1
 * bytes; 0, or -1 when there is none or it is longer. */
static int next_word(const char **p, char *out, size_t cap)
{
    const char *s = *p + strspn(*p, " ");
    size_t n = strcspn(s, " ");
    if (n == 0 || n >= cap)
        return -1;
    memcpy(out, s, n);
    out[n] = '\0';
    *p = s + n;
    return 0;
}

/* A whole decimal count 0..INT_MAX. */
static int count_value(const char *word, int *out)
{
    char *end;
    errno = 0;
    long v = strtol(word, &end, 10);
    if (!isdigit((unsigned char)word[0]) || *end || errno || v > INT_MAX)
        return -1;
    *out = (int)v;
    return 0;
}

/* Parses one fault line (without its newline); f->target points into line. */
static int fault_parse(const char *line, struct seqsim_fault *f)
{
    char nth[16], calls[16], kind[8];
    memset(f, 0, sizeof *f);
    if (next_word(&line, f->id, sizeof f->id) < 0 ||
        next_word(&line, f->err, sizeof f->err) < 0 ||
        (strcmp(f->err, "none") != 0 && !seqsim_errno_value(f->err)) ||
        next_word(&line, nth, sizeof nth) < 0 || count_value(nth, &f->nth) < 0 ||
        next_word(&line, calls, sizeof calls) < 0 || count_value(calls, &f->calls) < 0 ||
        next_word(&line, kind, sizeof kind) < 0)
        return -1;
    f->target = line + strspn(line, " ");
    if (strcmp(kind, "open") == 0 && f->target[0] == '/') {
        f->open = 1;
        return 0;
    }
    return strcmp(kind, "request") == 0 && f->target[0] ? 0 : -1;
}

/* 1 when word is made of decimal digits only. */
static int all_digits(const char *word)
{
    return word[0] && strspn(word, "0123456789") == strlen(word);
}

/* The first line: the current format, with its digest or without, or the
 * older mirror's, whose five numbers name a machine.json. */
static int header_parse(const char *line, struct seqsim_faults *f)
{
    char word[7][32];
    const char *p = line;
    int n = 0;
    if (strlen(line) >= sizeof f->header)
        return -1;
    while (n < 7 && next_word(&p, word[n], sizeof word[n]) == 0)
        n++;
    if (p[strspn(p, " ")] || n < 2 || strcmp(word[0], FAULTS_MAGIC) != 0)
        return -1;
    strcpy(f->header, line);
    if (n == 6) {
        for (int i = 1; i < 6; i++)
            if (!all_digits(word[i]))
                return -1;
        f->legacy = 1;
        return 0;
    }
    if (strcmp(word[1], "2") != 0 || n > 3)
        return -1;
    if (n == 3) {
        if (strlen(word[2]) != 8 || strspn(word[2], "0123456789abcdef") != 8)
            return -1;
        strcpy(f->digest, word[2]);
    }
    return 0;
}

void seqsim_faults_free(struct seqsim_faults *f)
{
    free(f->fault);
    free(f->text);
    memset(f, 0, sizeof *f);
}

int seqsim_faults_parse(const char *text, struct seqsim_faults *f)
{
    memset(f, 0, sizeof *f);
    size_t len = strlen(text), lines = 0;
    for (const char *p = text; (p = strchr(p, '\n')) != NULL; p++)
        lines++;
    f->text = malloc(len + 1);
    f->fault = calloc(lines ? lines : 1, sizeof *f->fault);
    if (!f->text || !f->fault) {
        errno = ENOMEM;
        return -1;
    }
    memcpy(f->text, text, len + 1);
    int number = 0;
    for (char *line = f->text; *line;) {
        char *end = strchr(line, '\n');
        number++;
        if (!end)
            goto damaged; /* a last line cut short */
        *end = '\0';
        if (number == 1 ? header_parse(line, f) < 0 : fault_parse(line, &f->fault[f->count++]) < 0)
            goto damaged;
        line = end + 1;
    }
    return 0;
damaged:
    f->bad_line = number;
    errno = EINVAL;
    return -1;
}

/* Reads the whole file at path into a NUL-terminated buffer to free; NULL
 * with errno set when it cannot. */
static char *read_all(const char *path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return NULL;
    struct stat st;
    char *text = NULL;
    if (fstat(fd, &st) == 0 && (text = malloc((size_t)st.st_size + 1)) != NULL) {
        size_t got = 0;
        ssize_t n;
        while (got < (size_t)st.st_size &&
               (n = read(fd, text + got, (size_t)st.st_size - got)) != 0) {
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                free(text);
                text = NULL;
                break;
            }
            got += (size_t)n;
        }
        if (text)
            text[got] = '\0';
    }
    close_keeping(fd, 0);
    return text;
}

int seqsim_faults_read(const char *root, struct seqsim_faults *f)
{
    char path[PATH_MAX];
    memset(f, 0, sizeof *f);
    if (seqsim_path(root, SEQSIM_FAULTS_FILE, path, sizeof path) < 0)
        return -1;
    char *text = read_all(path);
    if (!text)
        return -1;
    int rc = seqsim_faults_parse(text, f);
    free(text);
    return rc;
}

int seqsim_faults_count(struct seqsim_faults *f,
                        int (*match)(void *ctx, const struct seqsim_fault *fault), void *ctx,
                        int *matched)
{
    int err = 0;
    *matched = 0;
    for (int i = 0; i < f->count; i++) {
        struct seqsim_fault *x = &f->fault[i];
        if (!match(ctx, x))
            continue;
        *matched = 1;
        if (x->calls < INT_MAX)
            x->calls++;
        if ((x->nth == 0 || x->calls == x->nth) && !err)
            err = seqsim_errno_value(x->err);
    }
    return err;
}

/* The text of a store: its first line (without a newline), then the
 * faults' lines. */
static char *store_text(const char *first, const struct seqsim_fault *faults, int count)
{
    size_t cap = strlen(first) + 2;
    for (int i = 0; i < count; i++)
        cap += strlen(faults[i].target) + SEQSIM_FAULT_ID_BYTES + SEQSIM_ERRNAME_BYTES + 40;
    char *text = malloc(cap);
    if (!text) {
        errno = ENOMEM;
        return NULL;
    }
    size_t used = (size_t)snprintf(text, cap, "%s\n", first);
    for (int i = 0; i < count; i++) {
        if (seqsim_fault_line(&faults[i], text + used, cap - used) < 0) {
            int e = errno;
            free(text);
            errno = e;
            return NULL;
        }
        used += strlen(text + used);
    }
    return text;
}

char *seqsim_faults_text(const char *digest, const struct seqsim_fault *faults, int count)
{
    char first[sizeof FAULTS_MAGIC + SEQSIM_FAULT_DIGEST_BYTES + 4];
    snprintf(first, sizeof first, FAULTS_MAGIC " 2%s%s", digest && *digest ? " " : "",
             digest ? digest : "");
    return store_text(first, faults, count);
}

/* Replaces the file at path by text: a temporary file beside it, renamed. */
static int replace_text(const char *path, const char *text)
{
    char tmp[PATH_MAX];
    if (seqsim_path(path, ".XXXXXX", tmp, sizeof tmp) < 0)
        return -1;
    int fd = mkstemp(tmp);
    if (fd < 0)
        return -1;
    int rc = close_keeping(fd, fchmod(fd, 0644) < 0 ? -1 : write_all(fd, text, strlen(text)));
    if (rc == 0 && rename(tmp, path) < 0)
        rc = -1;
    if (rc < 0) {
        int e = errno;
        unlink(tmp);
        errno = e;
    }
    return rc;
}

int seqsim_faults_save(const char *root, const char *text)
{
    char path[PATH_MAX];
    if (seqsim_path(root, SEQSIM_FAULTS_FILE, path, sizeof path) < 0)
        return -1;
    return replace_text(path, text);
}

int seqsim_request_matches(unsigned long code, const char *text)
{
    if (!seqsim_is_request(code))
        return 0;
    char hex[16];
    snprintf(hex, sizeof hex, "0x%08lx", code);
    return strcmp(text, request_name(code)) == 0 || strcasecmp(text, hex) == 0;
}

/* What the C side counts: a request or the opening of a path. */
struct c_call {
    unsigned long code;
    const char *path;
};

static int c_call_matches(void *ctx, const struct seqsim_fault *f)
{
    const struct c_call *c = ctx;
    if (c->path)
        return f->open && strcmp(f->target, c->path) == 0;
    return !f->open && seqsim_request_matches(c->code, f->target);
}

int seqsim_fault_count(const char *root, unsigned long code, const char *path)
{
    struct seqsim_faults f;
    if (seqsim_faults_read(root, &f) < 0) {
        int missing = errno == ENOENT;
        seqsim_faults_free(&f);
        return missing ? 0 : -1;
    }
    char legacy[128];
    if (f.legacy && (seqsim_faults_legacy_header(root, legacy, sizeof legacy) < 0 ||
                     strcmp(legacy, f.header) != 0)) {
        /* Made for a machine.json no longer there: only the simulator can
         * tell the faults now. */
        seqsim_faults_free(&f);
        return -1;
    }
    struct c_call call = {code, path};
    int matched = 0;
    int err = seqsim_faults_count(&f, c_call_matches, &call, &matched);
    if (matched) {
        /* An older mirror keeps its first line until the simulator
         * rewrites it. */
        char *text = f.legacy ? store_text(f.header, f.fault, f.count)
                              : seqsim_faults_text(f.digest, f.fault, f.count);
        if (!text || seqsim_faults_save(root, text) < 0)
            err = -1;
        free(text);
    }
    seqsim_faults_free(&f);
    return err;
}
