#include "errnames.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvl {

namespace {

struct ErrnoName {
  int value;
  const char *name;
};

const ErrnoName kNames[] = {
    {EPERM, "EPERM"},     {ENOENT, "ENOENT"},   {EINTR, "EINTR"},         {EIO, "EIO"},
    {ENXIO, "ENXIO"},     {E2BIG, "E2BIG"},     {EBADF, "EBADF"},         {EAGAIN, "EAGAIN"},
    {ENOMEM, "ENOMEM"},   {EACCES, "EACCES"},   {EFAULT, "EFAULT"},       {EBUSY, "EBUSY"},
    {EEXIST, "EEXIST"},   {ENODEV, "ENODEV"},   {ENOTDIR, "ENOTDIR"},     {EISDIR, "EISDIR"},
    {EINVAL, "EINVAL"},   {ENFILE, "ENFILE"},   {EMFILE, "EMFILE"},       {ENOTTY, "ENOTTY"},
    {EFBIG, "EFBIG"},     {ENOSPC, "ENOSPC"},   {EROFS, "EROFS"},         {EPIPE, "EPIPE"},
    {ERANGE, "ERANGE"},   {ENOSYS, "ENOSYS"},   {ETIMEDOUT, "ETIMEDOUT"}, {EOPNOTSUPP, "EOPNOTSUPP"},
    {ENAMETOOLONG, "ENAMETOOLONG"},
};

}  // namespace

const char *errno_name(int err) {
  for (const auto &n : kNames)
    if (n.value == err) return n.name;
  static char buf[24];
  std::snprintf(buf, sizeof buf, "E%d", err);
  return buf;
}

int errno_value(const char *name) {
  for (const auto &n : kNames)
    if (std::strcmp(n.name, name) == 0) return n.value;
  return 0;
}

}  // namespace kvl
