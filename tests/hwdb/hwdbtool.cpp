// Test program: hwdbtool PATH [KEY...] loads the database at PATH, dumps it on
// standard error and prints "KEY INDEX" for each key on standard output. A
// failed load prints its messages and exits with status 255, as audcore does.
#include "hwdb/hwdb.h"
#include "hwdb/hwdb_dump.h"
#include "hwdb/hwdb_parse.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fputs("usage: hwdbtool PATH [KEY...]\n", stderr);
    return 2;
  }
  kvl::HwdbModel db;
  std::string err;
  if (kvl::hwdb_load(argv[1], &db, &err) < 0) {
    std::fputs(err.c_str(), stderr);
    return 255;
  }
  kvl::hwdb_dump_model(db, stderr);
  std::fflush(stderr);
  for (int i = 2; i < argc; i++) std::printf("%s %d\n", argv[i], kvl::hwdb_find_card(db, argv[i]));
  kvl::hwdb_model_free(&db);
  return 0;
}
