/* audstart [WORD]: starts the sound system. Loads the driver, then runs
 * audcore in start-up mode with etc/devices.cfg on its standard input and its
 * standard error kept as logs/audstart.log. WORD is audcore's option word
 * (default -vvv: configuring lines, driver contact and the card report go to
 * the log). The exit status is audcore's; when audcore leaves any status word
 * but AUDSTART_OK, one console line points to the log.
 *
 * The installation directory comes from /etc/kvl.conf by the one reader of
 * that file (common/kvl_conf.h). With KVL_SIMROOT set, /etc and the driver
 * are those of that simulated machine and the driver is loaded with the
 * kvlsim that lies beside this program.
 *
 * A C program rather than a shell script, so that a start-up costs one
 * process for audcore and none for the shell and its helpers. */
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/kvl_conf.h"
#include "common/std_descriptors.h"

#define PROG "audstart"
#define DEFAULT_DIR "/usr/lib/kvl"

static const char USAGE[] =
    "Usage: audstart [WORD]\n"
    "       audstart --help | --version\n"
    "Starts the Kelvane sound system: loads the driver, then runs audcore in\n"
    "start-up mode with DIR/etc/devices.cfg on its standard input and its log in\n"
    "DIR/logs/audstart.log. WORD is audcore's option word (default -vvv); DIR\n"
    "comes from the KVLLIBDIR= line of /etc/kvl.conf.\n";

/* a and b joined into out (PATH_MAX bytes); 0, or -1 when it does not fit
 * (a line on standard error). */
static int join(char *out, const char *a, const char *b)
{
    int n = snprintf(out, PATH_MAX, "%s%s", a, b);
    if (n < 0 || n >= PATH_MAX) {
        fprintf(stderr, "%s: %s%s: %s\n", PROG, a, b, strerror(ENAMETOOLONG));
        return -1;
    }
    return 0;
}

/* The folder this program lies in, from argv[0] as the shell found it:
 * its folder part, or the first folder of PATH that holds it. */
static int program_folder(const char *argv0, char *out)
{
    const char *slash = strrchr(argv0, '/');
    if (slash) {
        size_t n = (size_t)(slash - argv0);
        if (n >= PATH_MAX)
            return -1;
        memcpy(out, argv0, n);
        out[n] = '\0';
        if (n == 0)
            strcpy(out, "/");
        return 0;
    }
    const char *path = getenv("PATH");
    while (path && *path) {
        const char *end = strchr(path, ':');
        size_t n = end ? (size_t)(end - path) : strlen(path);
        char candidate[PATH_MAX];
        if (n > 0 && n < PATH_MAX &&
            snprintf(candidate, sizeof candidate, "%.*s/%s", (int)n, path, argv0) < PATH_MAX &&
            access(candidate, X_OK) == 0) {
            memcpy(out, path, n);
            out[n] = '\0';
            return 0;
        }
        path = end ? end + 1 : NULL;
    }
    return -1;
}

/* The installation directory that conf names, or DEFAULT_DIR. */
static void install_dir(const char *conf, char *dir)
{
    strcpy(dir, DEFAULT_DIR);
    FILE *f = fopen(conf, "re");
    if (!f)
        return;
    (void)kvl_conf_read_install_dir(f, dir);
    fclose(f);
}

/* Runs argv[0] with argv, its standard input in and its standard error err
 * (-1: this program's own); returns its exit status as the shell gives it
 * (128 + the signal for one killed, 127 when it could not be started). */
static int run(char *const argv[], int in, int err)
{
    fflush(NULL);
    pid_t pid = fork();
    if (pid < 0)
        return 127;
    if (pid == 0) {
        if (in >= 0 && dup2(in, 0) < 0)
            _exit(127);
        if (err >= 0 && dup2(err, 2) < 0)
            _exit(127);
        execv(argv[0], argv);
        fprintf(stderr, "%s: %s: %s\n", PROG, argv[0], strerror(errno));
        _exit(errno == ENOENT ? 127 : 126);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return 127;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 127;
}

/* The log at path made afresh for writing, never through a symbolic link:
 * whatever stands at its name is removed, and a new plain file is made in
 * its place (O_EXCL and O_NOFOLLOW: something put there again meanwhile is
 * refused, not written through). The first time in a run that its folder can
 * be written by group or others, one line says so, and KVL_LOG_TOLD tells the
 * tools run below that it was said. Returns the descriptor, or -1 after a
 * line on standard error. */
static int open_new_log(const char *path, const char *folder)
{
    const char *told = getenv("KVL_LOG_TOLD");
    struct stat st;
    if ((!told || !*told) && stat(folder, &st) == 0 && (st.st_mode & (S_IWGRP | S_IWOTH))) {
        fprintf(stderr, "Warning: %s is writable by other users\n", folder);
        setenv("KVL_LOG_TOLD", "1", 1);
    }
    if (unlink(path) < 0 && errno != ENOENT) {
        fprintf(stderr, "%s: %s\n", path, strerror(errno));
        return -1;
    }
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST || errno == ELOOP)
            fprintf(stderr, "%s: not written: a link or another file was put in its place\n", path);
        else
            fprintf(stderr, "%s: %s\n", path, strerror(errno));
    }
    return fd;
}

/* The input audcore reads: etc/devices.cfg opened, or /dev/null when it is
 * missing or cannot be read; in the latter case *problem holds the line that
 * starts the log. */
static int open_configuration(const char *config, char *problem, size_t size)
{
    problem[0] = '\0';
    int fd = open(config, O_RDONLY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        fd = -1;
        err = EISDIR;
    }
    if (fd >= 0)
        return fd;
    if (err != ENOENT && err != ENOTDIR)
        snprintf(problem, size, "%s: %s\n", config, strerror(err));
    return open("/dev/null", O_RDONLY | O_CLOEXEC);
}

/* Whether DIR/.status holds AUDSTART_OK as its first line. */
static int started_ok(const char *dir)
{
    char path[PATH_MAX], text[64];
    if (join(path, dir, "/.status") < 0)
        return 0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n < 0)
        return 0;
    text[n] = '\0';
    text[strcspn(text, "\n")] = '\0';
    return strcmp(text, "AUDSTART_OK") == 0;
}

int main(int argc, char **argv)
{
    if (kvl_open_standard_descriptors() < 0)
        return 1;
    if (argc > 1 && strcmp(argv[1], "--help") == 0) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (argc > 1 && strcmp(argv[1], "--version") == 0) {
        printf("%s (Kelvane) %s\n", PROG, KVL_PACKAGE_VERSION);
        return 0;
    }
    const char *word = argc > 1 && argv[1][0] ? argv[1] : "-vvv";

    const char *root = getenv("KVL_SIMROOT");
    if (!root || !*root) {
        fprintf(stderr, "%s: cannot load the sound driver on this system: this build has no kernel driver.\n", PROG);
        fprintf(stderr, "%s: set KVL_SIMROOT to a simulated machine made with kvlsim init.\n", PROG);
        return 1;
    }
    char conf[PATH_MAX], dir[KVL_CONF_DIR_MAX + 1], audcore[PATH_MAX];
    if (join(conf, root, "/etc/kvl.conf") < 0)
        return 1;
    install_dir(conf, dir);
    if (join(audcore, dir, "/bin/audcore") < 0)
        return 1;
    if (access(audcore, X_OK) < 0) {
        fprintf(stderr, "%s: %s not found (KVLLIBDIR in %s)\n", PROG, audcore, conf);
        return 1;
    }

    /* The simulated driver keeps sequencer.synths exactly while it is
     * loaded: then there is nothing to load and no process is started. */
    char synths[PATH_MAX];
    struct stat st;
    if (join(synths, root, "/sequencer.synths") < 0)
        return 1;
    if (stat(synths, &st) < 0) {
        char here[PATH_MAX], kvlsim[PATH_MAX];
        if (program_folder(argv[0], here) < 0 || join(kvlsim, here, "/kvlsim") < 0) {
            fprintf(stderr, "%s: loading the sound driver failed\n", PROG);
            return 1;
        }
        char *load[] = {kvlsim, "load", (char *)root, NULL};
        if (run(load, -1, -1) != 0) {
            fprintf(stderr, "%s: loading the sound driver failed\n", PROG);
            return 1;
        }
    }

    char logs[PATH_MAX], log[PATH_MAX], config[PATH_MAX];
    if (join(logs, dir, "/logs") < 0 || join(log, logs, "/audstart.log") < 0 ||
        join(config, dir, "/etc/devices.cfg") < 0)
        return 1;
    if ((stat(logs, &st) < 0 || !S_ISDIR(st.st_mode)) && mkdir(logs, 0777) < 0 && errno != EEXIST) {
        fprintf(stderr, "%s: %s: %s\n", PROG, logs, strerror(errno));
        return 1;
    }
    char problem[PATH_MAX + 128];
    int input = open_configuration(config, problem, sizeof problem);
    /* A log that cannot be made is said here, and start-up runs without it. */
    int logfd = open_new_log(log, logs);
    if (logfd < 0)
        logfd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (input < 0 || logfd < 0) {
        fprintf(stderr, "%s: /dev/null: %s\n", PROG, strerror(errno));
        return 1;
    }
    if (problem[0] && write(logfd, problem, strlen(problem)) < 0) {
        /* the log takes what it can; start-up runs all the same */
    }
    char *start[] = {audcore, (char *)word, dir, NULL};
    int status = run(start, input, logfd);
    close(input);
    close(logfd);

    /* Whatever the reason (a refused card, another driver version, no
     * cards), the console says when the sound system did not come up. */
    if (!started_ok(dir))
        printf("Kelvane did not start: see %s\n", log);
    return status;
}
