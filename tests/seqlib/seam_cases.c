/* The C seam on a simulated machine: opening /dev/sequencer, the two
 * requests with their journal lines, captured writes, mapped paths and the
 * machine's faults. */
#define _DEFAULT_SOURCE
#include "cases.h"
#include "harness.h"

#include "kvllib.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#define NRSYNTHS 0x2004510AUL
#define SYNTH_INFO 0x608C5114UL

static void try_open(void)
{
    int fd = kvllib_open("/dev/sequencer", O_WRONLY, 0);
    printf("%d %s\n", fd < 0 ? -1 : 0, fd < 0 ? strerror(errno) : "");
}

void case_seam_open(void)
{
    /* No node: ENOENT. */
    make_machine("OPL\n");
    char path[4200];
    snprintf(path, sizeof path, "%s/dev/sequencer", machine_root);
    unlink(path);
    struct outcome o;
    run_child(try_open, &o);
    EXPECT_STR(o.out, "-1 No such file or directory\n");
    remove_machine();

    /* Driver not loaded: ENODEV. */
    make_machine(NULL);
    run_child(try_open, &o);
    EXPECT_STR(o.out, "-1 No such device\n");
    remove_machine();

    make_machine("OPL\n");
    run_child(try_open, &o);
    EXPECT_STR(o.out, "0 \n");
    remove_machine();
}

static void ask_driver(void)
{
    int fd = open_sequencer(O_RDWR);
    int32_t n = -1;
    int r = kvllib_ioctl(fd, NRSYNTHS, &n);
    printf("nrsynths %d %d\n", r, n);
    for (int32_t dev = 0; dev <= n; dev++) {
        unsigned char info[140];
        memset(info, 0x55, sizeof info);
        memcpy(info + 32, &dev, 4);
        r = kvllib_ioctl(fd, SYNTH_INFO, info);
        int32_t back;
        memcpy(&back, info + 32, 4);
        if (r == 0)
            printf("info %d [%.32s] %d\n", r, (char *)info, back);
        else
            printf("info %d %s\n", r, strerror(errno));
    }
    r = kvllib_ioctl(fd, 0x12345678UL, &n);
    printf("other %d %s\n", r, strerror(errno));
    char buf[16];
    printf("read %d\n", kvllib_read(fd, buf, sizeof buf));
    printf("write %d\n", kvllib_write(fd, "abc", 3));
    kvllib_close(fd);
    fd = open_sequencer(O_WRONLY);
    printf("write %d\n", kvllib_write(fd, "de", 2));
}

void case_seam_requests(void)
{
    make_machine("OPL\nSay \"hi\"\\ \t\n");
    struct outcome o;
    run_child(ask_driver, &o);
    EXPECT_INT(o.status, 0);
    EXPECT_STR(o.out, "nrsynths 0 2\n"
                      "info 0 [OPL] 0\n"
                      "info 0 [Say \"hi\"\\ \t] 1\n"
                      "info -1 No such device or address\n"
                      "other -1 Invalid argument\n"
                      "read 0\n"
                      "write 3\n"
                      "write 2\n");
    char text[2048];
    read_machine_file("journal.jsonl", text, sizeof text);
    EXPECT_STR(text,
               "{\"request\":\"SNDCTL_SEQ_NRSYNTHS\",\"result\":0,\"errno\":null,\"synths\":2}\n"
               "{\"request\":\"SNDCTL_SYNTH_INFO\",\"result\":0,\"errno\":null,\"device\":0,"
               "\"name\":\"OPL\"}\n"
               "{\"request\":\"SNDCTL_SYNTH_INFO\",\"result\":0,\"errno\":null,\"device\":1,"
               "\"name\":\"Say \\\"hi\\\"\\\\ \\u0009\"}\n"
               "{\"request\":\"SNDCTL_SYNTH_INFO\",\"result\":-1,\"errno\":\"ENXIO\",\"device\":2}\n"
               "{\"request\":\"unknown request\",\"result\":-1,\"errno\":\"EINVAL\","
               "\"code\":\"0x12345678\"}\n");
    read_machine_file("sequencer.capture", text, sizeof text);
    EXPECT_STR(text, "abcde");
    remove_machine();
}

/* Only /dev and /etc map into the machine; other paths open natively. Device
 * nodes other than the sequencer are not served, so never overwritten. */
static void open_paths(void)
{
    char native[4200];
    snprintf(native, sizeof native, "%s/plain", machine_root);
    const char *paths[] = {"/etc/kvl.conf", "/etc", native, "/etcetera/kvl.conf", "/dev/mixer0"};
    for (size_t i = 0; i < sizeof paths / sizeof paths[0]; i++) {
        int fd = kvllib_open(paths[i], i == 4 ? O_WRONLY | O_TRUNC : O_RDONLY, 0);
        char buf[32] = "";
        ssize_t n = fd >= 0 ? read(fd, buf, sizeof buf - 1) : -1;
        printf("%s\n", fd < 0 ? strerror(errno) : n > 0 ? buf : "(directory)");
        if (fd >= 0)
            kvllib_close(fd);
    }
}

void case_seam_paths(void)
{
    make_machine("OPL\n");
    write_machine_file("etc/kvl.conf", "conf", 4);
    write_machine_file("plain", "plain", 5);
    write_machine_file("dev/mixer0", "KVLSIM-CHR 14 0\n", 16);
    struct outcome o;
    run_child(open_paths, &o);
    EXPECT_STR(o.out, "conf\n(directory)\nplain\nNo such file or directory\n"
                      "No such device or address\n");
    char node[64];
    read_machine_file("dev/mixer0", node, sizeof node);
    EXPECT_STR(node, "KVLSIM-CHR 14 0\n");
    remove_machine();
}

/* Runs kvlsim with args (argv[0] excluded, NULL-terminated); a failure ends
 * the harness. */
static void run_kvlsim(const char *const *args)
{
    const char *argv[16] = {KVLSIM};
    for (int i = 0; args[i] && i < 14; i++)
        argv[i + 1] = args[i];
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        execv(KVLSIM, (char *const *)argv);
        _exit(127);
    }
    int st = 0;
    if (pid < 0 || waitpid(pid, &st, 0) < 0 || !WIFEXITED(st) || WEXITSTATUS(st) != 0) {
        fprintf(stderr, "kvlsim %s failed\n", args[0]);
        exit(2);
    }
}

/* A machine made by kvlsim init from json, with /dev/sequencer, as the
 * current case's machine. */
static void make_kvlsim_machine(const char *json)
{
    const char *tmp = getenv("TMPDIR");
    char file[PATH_MAX];
    snprintf(file, sizeof file, "%s/kvlseq.XXXXXX.json", tmp && *tmp ? tmp : "/tmp");
    int fd = mkstemps(file, 5);
    if (fd < 0 || write(fd, json, strlen(json)) != (ssize_t)strlen(json) || close(fd) != 0) {
        perror(file);
        exit(2);
    }
    snprintf(machine_root, PATH_MAX, "%.*s", (int)(strlen(file) - 5), file);
    run_kvlsim((const char *const[]){"init", machine_root, file, NULL});
    unlink(file);
    run_kvlsim((const char *const[]){"mknod", machine_root, "/dev/sequencer", "14", "1", "0666", NULL});
    setenv("KVL_SIMROOT", machine_root, 1);
    unsetenv("KVL_GUS_LOG");
}

static void set_up_library(void)
{
    int fd = kvllib_open("/dev/sequencer", O_WRONLY, 0);
    if (fd < 0) {
        printf("open: %s\n", strerror(errno));
        return;
    }
    KVL_seq_needbuf(8, fd, _seqbuf, _seqbuflen);
    printf("set up, %d synthesizers\n", nrsynths);
}

/* Faults of machine.json and of kvlsim fault reach the library's requests
 * and opens; the journal names them as the simulator does. */
void case_seam_faults(void)
{
    static const struct {
        const char *machine;
        const char *fault[6]; /* kvlsim fault's arguments after DIR */
        int status;
        const char *out, *err, *journal;
    } table[] = {
        {"{\"synths\": [\"GUS\"], \"faults\": [{\"request\": \"SNDCTL_SYNTH_INFO\", "
         "\"errno\": \"EBUSY\"}]}",
         {NULL},
         255,
         "",
         "/dev/sequencer (SYNTH_ID: Device or resource busy\n"
         "KVL version 3.8 or later is required with KVLlib\n",
         "{\"request\":\"SNDCTL_SEQ_NRSYNTHS\",\"result\":0,\"errno\":null,\"synths\":1}\n"
         "{\"request\":\"SNDCTL_SYNTH_INFO\",\"result\":-1,\"errno\":\"EBUSY\",\"device\":0,"
         "\"name\":\"GUS\"}\n"},
        {"{\"synths\": [\"GUS\"]}",
         {"SNDCTL_SEQ_NRSYNTHS", "ETIMEDOUT", NULL},
         255,
         "",
         "/dev/sequencer (NRSYNTHS: Connection timed out\n",
         "{\"request\":\"SNDCTL_SEQ_NRSYNTHS\",\"result\":-1,\"errno\":\"ETIMEDOUT\","
         "\"synths\":1}\n"},
    };
    for (size_t i = 0; i < sizeof table / sizeof table[0]; i++) {
        make_kvlsim_machine(table[i].machine);
        if (table[i].fault[0]) {
            const char *args[8] = {"fault", machine_root};
            for (int a = 0; table[i].fault[a]; a++)
                args[a + 2] = table[i].fault[a];
            run_kvlsim(args);
        }
        struct outcome o;
        run_child(set_up_library, &o);
        EXPECT_INT(o.status, table[i].status);
        EXPECT_STR(o.out, table[i].out);
        EXPECT_STR(o.err, table[i].err);
        char text[2048];
        read_machine_file("journal.jsonl", text, sizeof text);
        EXPECT_STR(text, table[i].journal);
        remove_machine();
    }

    /* Faults on the nth call count the calls of every process. */
    make_kvlsim_machine("{\"synths\": [\"GUS\"], \"faults\": [{\"request\": "
                        "\"SNDCTL_SEQ_NRSYNTHS\", \"errno\": \"EIO\", \"nth\": 2}]}");
    run_kvlsim((const char *const[]){"fault", machine_root, "--open", "/dev/sequencer", "EACCES",
                                     "3", NULL});
    struct outcome o;
    run_child(set_up_library, &o);
    EXPECT_STR(o.out, "set up, 1 synthesizers\n");
    run_child(set_up_library, &o);
    EXPECT_INT(o.status, 255);
    EXPECT_STR(o.err, "/dev/sequencer (NRSYNTHS: Input/output error\n");
    run_child(set_up_library, &o);
    EXPECT_STR(o.out, "open: Permission denied\n");
    run_child(set_up_library, &o);
    EXPECT_STR(o.out, "set up, 1 synthesizers\n");
    remove_machine();
}
