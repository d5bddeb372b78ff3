// Test program: hwdbtool PATH [KEY...] loads the database at PATH, dumps it on
// standard error and prints "KEY INDEX" for each key on standard output.
#include "hwdb/hwdb.h"

#include <cstdio>

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fputs("usage: hwdbtool PATH [KEY...]\n", stderr);
    return 2;
  }
  kvl::hwdb_load(argv[1]);
  kvl::hwdb_dump();
  for (int i = 2; i < argc; i++) std::printf("%s %d\n", argv[i], kvl::hwdb_find_card(argv[i]));
  return 0;
}
