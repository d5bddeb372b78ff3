// The parsing core of the hardware database loader: it turns the decompressed
// stream (header, menus, nodes, descrtab, strings) into a model, from any
// byte source. hwdb_load feeds it from the decompressor's pipe; tests and the
// fuzzer feed it bytes in memory. Nothing here prints or exits: every failure
// comes back as the exact text the loader prints.
#pragma once

#include "hwdb/hwdb.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kvl {

// Reads up to n bytes into buf: the count read, 0 at the end of the data, or
// -1 with errno set.
using HwdbReadFn = ssize_t (*)(void *ctx, void *buf, size_t n);

struct HwdbSource {
  HwdbReadFn read;
  void *ctx;
};

// Reads a decompressed database from src into model and validates it. Returns
// 0, or -1 with model empty and err holding the complete failure output (the
// messages and "label: error text" lines, each ending in a newline). path
// names the file in the messages.
int hwdb_parse(HwdbSource src, const char *path, HwdbModel *model, std::string *err);

// The explanation the parser puts after a stream that ends before its header
// or does not start with the magic; always the last lines of err. The loader
// takes it out again when the decompressor did run (the file is damaged).
extern const char HWDB_DECOMPRESSOR_HINT[];

// hwdb_parse over n bytes in memory.
int hwdb_parse_bytes(const void *data, size_t n, const char *path, HwdbModel *model,
                     std::string *err);

}  // namespace kvl
