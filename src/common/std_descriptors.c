#include "common/std_descriptors.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

int kvl_open_standard_descriptors(void)
{
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        /* The lowest free descriptor, so fd itself: the ones below it are open. */
        int got = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (got < 0)
            return -1;
        if (got != fd) {
            int rc = dup2(got, fd);
            close(got);
            if (rc < 0)
                return -1;
        }
    }
    return 0;
}
