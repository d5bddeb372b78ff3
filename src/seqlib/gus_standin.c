/* Stand-in for the outside wave-table patch loader: it loads nothing and
 * records each call as a line, in the file named by KVL_GUS_LOG, or else in
 * $KVL_SIMROOT/gus.log; with neither set it records nothing. */
#include "wavetable.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* Appends line to the log, if there is one; failures are ignored. */
static void record(const char *line)
{
    char path[PATH_MAX];
    const char *log = getenv("KVL_GUS_LOG");
    const char *root = getenv("KVL_SIMROOT");
    int n;
    if (log && *log)
        n = snprintf(path, sizeof path, "%s", log);
    else if (root && *root)
        n = snprintf(path, sizeof path, "%s/gus.log", root);
    else
        return;
    if (n < 0 || (size_t)n >= sizeof path)
        return;
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0)
        return;
    ssize_t w = write(fd, line, strlen(line));
    (void)w;
    close(fd);
}

int gusinit(int seqfd, int dev)
{
    char line[64];
    snprintf(line, sizeof line, "gusinit %d %d\n", seqfd, dev);
    record(line);
    return 0;
}

int gusload(int seqfd, int reserved, int dev, int patch)
{
    char line[80];
    snprintf(line, sizeof line, "gusload %d %d %d %d\n", seqfd, reserved, dev, patch);
    record(line);
    return 0;
}
