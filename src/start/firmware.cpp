// Firmware download: a binary image sent to a card's driver in chunks.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/common.h"
#include "control/control.h"
#include "driver/driver.h"
#include "hwdb/hwdb.h"
#include "entry/entry.h"
#include "start/firmware.h"

namespace kvl {

namespace {

constexpr size_t kImageBytes = 200000;  // a file must be shorter than this

// Reads up to max bytes of fd into buf. Returns the count, or -1 with errno.
ssize_t read_up_to(int fd, unsigned char *buf, size_t max) {
  size_t done = 0;
  while (done < max) {
    ssize_t n = read(fd, buf + done, max - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Sends image to card chunk by chunk. Returns 0, or -1 after printing.
int send_image(CoreRun &run, std::string_view card, const unsigned char *image, size_t total) {
  size_t offset = 0;
  int first = 1;
  while (offset < total) {
    size_t length = std::min<size_t>(DOWNLOAD_CHUNK, total - offset);
    CardCommandRecord rec = {};
    copy_field(rec.name, card);
    rec.command = CMD_DOWNLOAD;
    DownloadPayload chunk = {};
    chunk.first = first;
    chunk.last = offset + length == total ? 1 : 0;
    chunk.total = static_cast<int32_t>(total);
    chunk.length = static_cast<int32_t>(length);
    chunk.offset = static_cast<int32_t>(offset);
    std::memcpy(chunk.data, image + offset, length);
    std::memcpy(rec.payload, &chunk, sizeof chunk);
    if (control_send(run.control, CTL_CARD_COMMAND, &rec) < 0) {
      int e = errno;
      std::fprintf(stderr, "\nDownload failed\n");
      print_error(request_label(CTL_CARD_COMMAND), e);
      return -1;
    }
    offset += length;
    first = 0;
  }
  return 0;
}

}  // namespace

int download_firmware(CoreRun &run, std::string_view card, std::string_view rest) {
  std::vector<std::string_view> words = split_words(rest);
  if (words.empty() || words[0].empty()) {
    std::fprintf(stderr, "\nSyntax error: Filename missing\n");
    return -1;
  }
  std::string file(words[0]);

  int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    int e = errno;
    std::fprintf(stderr, "\nCan't open binary file\n");
    print_error(quote_text(file).c_str(), e);
    return -1;
  }
  std::vector<unsigned char> image(kImageBytes);
  ssize_t got = read_up_to(fd, image.data(), image.size());
  if (got < 0) {
    int e = errno;
    std::fprintf(stderr, "\nBinary file read error\n");
    print_error(quote_text(file).c_str(), e);
    close(fd);
    return -1;
  }
  close(fd);

  if (static_cast<size_t>(got) == kImageBytes) {
    std::fprintf(stderr, "\nBinary file too big\n");
    return -1;
  }
  if (got == 0) {
    std::fprintf(stderr, "\nEmpty binary file\n");
    return -1;
  }
  if (send_image(run, card, image.data(), static_cast<size_t>(got)) < 0) return -1;
  if (run.model.verbosity > 0) std::fprintf(stderr, " %s downloaded OK", quote_text(file).c_str());
  return 0;
}

void run_card_command(CoreRun &run, std::string_view card, std::string_view command, std::string_view rest) {
  if (command == "LOADBIN") {
    download_firmware(run, card, rest);
  } else if (command == "LOADHEX") {
    std::printf("%s\n", HWDB_HEX_REFUSED);
    std::fprintf(stderr, "%s\n", HWDB_HEX_REFUSED);
  } else {
    std::fprintf(stderr, "\nError: Invalid command %s\n", quote_text(command).c_str());
  }
}

}  // namespace kvl
