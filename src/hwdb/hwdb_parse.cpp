// Reading the decompressed database stream section by section.
#include "hwdb/hwdb_parse.h"

#include "hwdb/hwdb_check.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace kvl {

const char HWDB_DECOMPRESSOR_HINT[] =
    "\nUsually this means that uncompress command was not found\n"
    "from any of the directories pointed by the PATH\n";

namespace {

const char *const USUALLY = HWDB_DECOMPRESSOR_HINT;

// Failed reads of the strings section that are retried; the next one is fatal.
constexpr int STRINGS_RETRIES = 101;

// Sections are anonymous mappings of the size the header gives, allocated
// once. Touching fresh pages is most of a load's cost, so a large section is
// aligned to and advised for transparent huge pages where the system offers
// them: one fault per 2 MB instead of one per 4 KB. Memory the stream never
// fills is never touched, so a header that promises more than the stream
// holds costs address space only.
constexpr size_t HUGE_PAGE = 2 * 1024 * 1024;

size_t map_length(size_t n) {
  size_t unit = n >= HUGE_PAGE / 2 ? HUGE_PAGE : static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return (n + unit - 1) / unit * unit;
}

// n bytes of zeroed memory, or nullptr (n 0, or no memory).
char *section_alloc(size_t n) {
  if (n == 0) return nullptr;
  size_t len = map_length(n);
  if (len < n) return nullptr;  // n near SIZE_MAX
  if (len < HUGE_PAGE) {
    void *p = mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<char *>(p);
  }
  // Over-map by one huge page and trim, so the section starts on a boundary.
  if (len + HUGE_PAGE < len) return nullptr;
  void *p = mmap(nullptr, len + HUGE_PAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                 -1, 0);
  if (p == MAP_FAILED) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(p);
  uintptr_t aligned = (start + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
  if (aligned > start) munmap(p, aligned - start);
  size_t tail = start + len + HUGE_PAGE - (aligned + len);
  if (tail) munmap(reinterpret_cast<void *>(aligned + len), tail);
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void *>(aligned), len, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<char *>(aligned);
}

// Faults in the pages of buf[from, to) in one call before a read fills
// them, instead of one fault for every page the copy meets. Only memory the
// next read may fill is touched; where the system cannot, the read faults
// them in as before.
constexpr size_t PREFAULT = 1 << 20;

void prefault(char *buf, size_t from, size_t to) {
#ifdef MADV_POPULATE_WRITE
  size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  uintptr_t start = reinterpret_cast<uintptr_t>(buf + from) / page * page;
  uintptr_t end = reinterpret_cast<uintptr_t>(buf + to);
  if (end > start) madvise(reinterpret_cast<void *>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)buf, (void)from, (void)to;
#endif
}

void section_free(void *p, size_t n) {
  if (p) munmap(p, map_length(n));
}

// "label: error text\n" for errno; a read that met the end of the data says
// so through ENODATA.
void append_perror(std::string *err, const char *label, int e) {
  *err += label;
  *err += ": ";
  *err += std::strerror(e);
  *err += '\n';
}

// Called after each read that brought data into a section, with the bytes
// of it read so far: lets the parser look at the records that are complete.
using SectionFilled = void (*)(void *ctx, const char *buf, size_t got);

struct Section {
  const char *label;      // perror label of a failed read
  const char *alloc_msg;  // message when memory runs out
  int retries;            // failed reads tolerated before the fatal one
  SectionFilled filled = nullptr;
  void *ctx = nullptr;
};

// Reads total bytes into *out (a section of exactly that size, filled
// straight from the source). Returns 0, or -1 with the failure text appended
// to err and nothing kept.
int read_section(HwdbSource src, size_t total, const Section &sec, char **out,
                 std::string *err) {
  *out = nullptr;
  char *buf = section_alloc(total);
  if (total && !buf) {
    *err += sec.alloc_msg;
    return -1;
  }
  size_t got = 0, ready = 0;  // ready: bytes of buf already faulted in
  int failures = 0;
  while (got < total) {
    if (got >= ready && total >= PREFAULT) {
      ready = got + PREFAULT < total ? got + PREFAULT : total;
      prefault(buf, got, ready);
    }
    errno = 0;
    ssize_t r = src.read(src.ctx, buf + got, (ready > got ? ready : total) - got);
    if (r > 0) {
      got += static_cast<size_t>(r);
      if (sec.filled) sec.filled(sec.ctx, buf, got);
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
    section_free(buf, total);
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

// The checks of single menus and nodes, run on each record as soon as it is
// read: the records are still in the cache then, and the decompressor is
// still busy with the rest of the stream, so that little is left to check
// after its last byte. What they find is reported only once every section is
// read, in the validation's order (a stream that ends early is reported as
// such, as before).
struct EarlyCheck {
  HwdbModel view;  // counts from the header; the section being read
  HwdbEarlyChecks done;
  bool no_depth = false;  // the depth table could not be had
};

void menus_filled(void *ctx, const char *buf, size_t got) {
  EarlyCheck *e = static_cast<EarlyCheck *>(ctx);
  e->view.menus = reinterpret_cast<HwdbMenu *>(const_cast<char *>(buf));
  hwdb_check_menus(e->view, static_cast<int>(got / sizeof(HwdbMenu)), &e->done);
}

void nodes_filled(void *ctx, const char *buf, size_t got) {
  EarlyCheck *e = static_cast<EarlyCheck *>(ctx);
  // The depth table is taken after the section itself and given back before
  // the next one, so it never decides whether a section can be had.
  // Plain pages: a damaged file's children may point anywhere, and only the
  // pages they touch are ever filled.
  if (!e->done.depth && !e->no_depth) {
    void *p = mmap(nullptr, static_cast<size_t>(e->view.node_count), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    e->done.depth = p == MAP_FAILED ? nullptr : static_cast<unsigned char *>(p);
    e->no_depth = !e->done.depth;
  }
  e->view.nodes = reinterpret_cast<HwdbNode *>(const_cast<char *>(buf));
  hwdb_check_nodes(e->view, static_cast<int>(got / sizeof(HwdbNode)), &e->done);
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
  EarlyCheck early;
  early.view.menu_count = h.menu_count;
  early.view.node_count = h.node_count;
  early.view.descr_count = h.descr_count;
  char *raw = nullptr;
  if (read_section(src, static_cast<size_t>(h.menu_count) * sizeof(HwdbMenu),
                   {"config.dat (menus)", "malloc(menu) failed\n", 0, menus_filled, &early},
                   &raw, err) != 0)
    return -1;
  m.menus = reinterpret_cast<HwdbMenu *>(raw);
  m.menu_count = h.menu_count;

  int nodes_read = read_section(src, static_cast<size_t>(h.node_count) * sizeof(HwdbNode),
                                {"config.dat (nodes)", "malloc(node) failed\n", 0, nodes_filled,
                                 &early},
                                &raw, err);
  HwdbEarlyChecks &done = early.done;
  done.nesting_checked = done.depth && !done.nesting_open && done.bad_node < 0 &&
                         done.nodes_checked == h.node_count;
  if (done.depth) munmap(done.depth, static_cast<size_t>(h.node_count));
  done.depth = nullptr;
  if (nodes_read != 0) {
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
  if (hwdb_validate_rest(m, offsets, path, early.done, err) != 0) {
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
  section_free(model->menus, static_cast<size_t>(model->menu_count) * sizeof(HwdbMenu));
  section_free(model->nodes, static_cast<size_t>(model->node_count) * sizeof(HwdbNode));
  section_free(model->strings, static_cast<size_t>(model->strings_size));
  *model = HwdbModel();
}

}  // namespace kvl
