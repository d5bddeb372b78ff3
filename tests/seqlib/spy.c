#include "spy.h"

#include <errno.h>
#include <stdio.h>
#include <sys/types.h>

#define SNDCTL_SYNTH_INFO 0x608C5114UL

int spy_print_writes;
int spy_synth_info_errno;

ssize_t __real_kvl_cseam_write(int fd, const void *buf, size_t n);
int __real_kvl_cseam_ioctl(int fd, unsigned long request, void *arg);
ssize_t __wrap_kvl_cseam_write(int fd, const void *buf, size_t n);
int __wrap_kvl_cseam_ioctl(int fd, unsigned long request, void *arg);

ssize_t __wrap_kvl_cseam_write(int fd, const void *buf, size_t n)
{
    if (spy_print_writes)
        printf("write %zu\n", n);
    return __real_kvl_cseam_write(fd, buf, n);
}

int __wrap_kvl_cseam_ioctl(int fd, unsigned long request, void *arg)
{
    if (spy_synth_info_errno && request == SNDCTL_SYNTH_INFO) {
        errno = spy_synth_info_errno;
        return -1;
    }
    return __real_kvl_cseam_ioctl(fd, request, arg);
}
