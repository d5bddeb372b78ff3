// hwdb_seed CATALOGUE.json OUT: writes the decompressed database stream of a
// catalogue, the bytes hwdb_fuzz reads, after checking that the parser takes
// it. Makes the seeds in corpus/hwdb_fuzz from the catalogues beside this file.
#include "hwdb/hwdb_parse.h"
#include "tools/catalogue/catalogue.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fputs("usage: hwdb_seed CATALOGUE.json OUT\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  kvl::Catalogue cat;
  std::string err;
  if (!in || kvl::catalogue_add_json(text.str(), argv[1], &cat, &err) != 0 ||
      kvl::catalogue_check(cat, &err) != 0) {
    std::fprintf(stderr, "hwdb_seed: %s: %s\n", argv[1], err.empty() ? "cannot read" : err.c_str());
    return 1;
  }
  std::string image = kvl::catalogue_image(cat);
  kvl::HwdbModel m;
  if (kvl::hwdb_parse_bytes(image.data(), image.size(), "config.dat", &m, &err) != 0) {
    std::fprintf(stderr, "hwdb_seed: the parser refuses the image: %s\n", err.c_str());
    return 1;
  }
  kvl::hwdb_model_free(&m);
  std::ofstream out(argv[2], std::ios::binary);
  out << image;
  return out.flush() ? 0 : 1;
}
