// Reading the decompressed database stream section by section.
#include "hwdb/hwdb_parse.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kvl {
namespace {

const char USUALLY[] =
    "\nUsually this means that uncompress command was not found\n"
    "from any of the directories pointed by the PATH\n";

// Failed reads of the strings section that are retried; the next one is fatal.
constexpr int STRINGS_RETRIES = 101;

// Sections grow as their data arrives, so a header that promises more than
// the stream holds never makes the loader reserve that much memory up front.
constexpr size_t FIRST_CHUNK = 64 * 1024;

// "label: error text\n" for errno; a read that met the end of the data says
// so through ENODATA.
void append_perror(std::string *err, const char *label, int e) {
  *err += label;
  *err += ": ";
  *err += std::strerror(e);
  *err += '\n';
}

struct Section {
  const char *label;      // perror label of a failed read
  const char *alloc_msg;  // message when memory runs out
  int retries;            // failed reads tolerated before the fatal one
};

// Reads total bytes into *out (malloc'ed, growing as data arrives). Returns 0,
// or -1 with the failure text appended to err and nothing kept.
int read_section(HwdbSource src, size_t total, const Section &sec, char **out,
                 std::string *err) {
  *out = nullptr;
  char *buf = nullptr;
  size_t cap = 0, got = 0;
  int failures = 0;
  while (got < total) {
    if (got == cap) {
      size_t want = cap == 0 ? FIRST_CHUNK : cap * 2;
      if (want > total) want = total;
      char *bigger = static_cast<char *>(std::realloc(buf, want));
      if (!bigger) {
        std::free(buf);
        *err += sec.alloc_msg;
        return -1;
      }
      buf = bigger;
      cap = want;
    }
    errno = 0;
    ssize_t r = src.read(src.ctx, buf + got, cap - got);
    if (r > 0) {
      got += static_cast<size_t>(r);
      continue;
    }
    int e = r == 0 || errno == 0 ? ENODATA : errno;
    if (++failures <= sec.retries) continue;
    if (sec.retries > 0) {
      char line[96];
      std::snprintf(line, sizeof line, "Read returned %d. Still remaining %d\n",
                    static_cast<int>(r), static_cast<int>(total - got));
      *err += line;
    }
    append_perror(err, sec.label, e);
    std::free(buf);
    return -1;
  }
  *out = buf;
  return 0;
}

// Reads exactly n bytes into buf. Returns 0, or -1 with errno set (ENODATA
// when the data ended first).
int read_exact(HwdbSource src, void *buf, size_t n) {
  size_t got = 0;
  while (got < n) {
    errno = 0;
    ssize_t r = src.read(src.ctx, static_cast<char *>(buf) + got, n - got);
    if (r <= 0) {
      if (r == 0 || errno == 0) errno = ENODATA;
      return -1;
    }
    got += static_cast<size_t>(r);
  }
  return 0;
}

int invalid(const char *path, const char *what, std::string *err) {
  *err += path;
  *err += ": Invalid file contents: ";
  *err += what;
  *err += '\n';
  return -1;
}

// The header checks, in the order the loader makes them. Returns 0 or -1.
int check_header(const HwdbHeader &h, const char *path, std::string *err) {
  if (std::strncmp(h.magic, "KVLCONF", sizeof h.magic) != 0) {
    *err += path;
    *err += ": Invalid file header\n";
    *err += USUALLY;
    *err += "environment variable. In some Stampede Linux versions\n"
            "the included uncompress utility can't handle 16 bit format\n"
            "(you should obtain a more recent version).\n";
    return -1;
  }
  if (h.endian != HWDB_ENDIAN_MARK) {
    *err += path;
    *err += ": Invalid file endianess.\n";
    return -1;
  }
  if (h.version != HWDB_VERSION) {
    *err += path;
    *err += ": Invalid file version.\n";
    return -1;
  }
  char what[96];
  const struct {
    const char *name;
    int32_t value;
  } counts[] = {{"menu count", h.menu_count},
                {"node count", h.node_count},
                {"descr count", h.descr_count},
                {"strings size", h.strings_size}};
  for (const auto &c : counts) {
    if (c.value < 0) {
      std::snprintf(what, sizeof what, "%s %d is negative", c.name, static_cast<int>(c.value));
      return invalid(path, what, err);
    }
  }
  if (h.descr_count > HWDB_MAX_DESCR) {
    std::snprintf(what, sizeof what, "descr count %d is above %d",
                  static_cast<int>(h.descr_count), HWDB_MAX_DESCR);
    return invalid(path, what, err);
  }
  return 0;
}

struct Memory {
  const unsigned char *data;
  size_t size;
  size_t pos;
};

ssize_t read_memory(void *ctx, void *buf, size_t n) {
  Memory *m = static_cast<Memory *>(ctx);
  size_t left = m->size - m->pos;
  if (n > left) n = left;
  if (n > 0) std::memcpy(buf, m->data + m->pos, n);
  m->pos += n;
  return static_cast<ssize_t>(n);
}

}  // namespace

int hwdb_parse(HwdbSource src, const char *path, HwdbModel *model, std::string *err) {
  *model = HwdbModel();
  HwdbHeader h;
  if (read_exact(src, &h, sizeof h) != 0) {
    append_perror(err, "config.dat (header)", errno);
    *err += USUALLY;
    return -1;
  }
  if (check_header(h, path, err) != 0) return -1;

  HwdbModel m;
  char *raw = nullptr;
  if (read_section(src, static_cast<size_t>(h.menu_count) * sizeof(HwdbMenu),
                   {"config.dat (menus)", "malloc(menu) failed\n", 0}, &raw, err) != 0)
    return -1;
  m.menus = reinterpret_cast<HwdbMenu *>(raw);
  m.menu_count = h.menu_count;

  if (read_section(src, static_cast<size_t>(h.node_count) * sizeof(HwdbNode),
                   {"config.dat (nodes)", "malloc(node) failed\n", 0}, &raw, err) != 0) {
    hwdb_model_free(&m);
    return -1;
  }
  m.nodes = reinterpret_cast<HwdbNode *>(raw);
  m.node_count = h.node_count;

  uint32_t offsets[HWDB_MAX_DESCR];
  if (read_exact(src, offsets, static_cast<size_t>(h.descr_count) * sizeof offsets[0]) != 0) {
    append_perror(err, "config.dat (descrtab)", errno);
    hwdb_model_free(&m);
    return -1;
  }

  if (read_section(src, static_cast<size_t>(h.strings_size),
                   {"config.dat (strings)", "malloc(descr) failed\n", STRINGS_RETRIES}, &raw,
                   err) != 0) {
    hwdb_model_free(&m);
    return -1;
  }
  m.strings = raw;
  m.strings_size = h.strings_size;
  m.descr_count = h.descr_count;
  if (hwdb_validate(m, offsets, path, err) != 0) {
    hwdb_model_free(&m);
    return -1;
  }
  for (int i = 0; i < m.descr_count; i++) m.descr[i] = m.strings + offsets[i];
  *model = m;
  return 0;
}

int hwdb_parse_bytes(const void *data, size_t n, const char *path, HwdbModel *model,
                     std::string *err) {
  Memory mem{static_cast<const unsigned char *>(data), n, 0};
  return hwdb_parse({read_memory, &mem}, path, model, err);
}

void hwdb_model_free(HwdbModel *model) {
  std::free(model->menus);
  std::free(model->nodes);
  std::free(model->strings);
  *model = HwdbModel();
}

}  // namespace kvl
