// Feeds arbitrary bytes to the readers of the driver's detection replies, each
// given exactly the bytes of its record field in a buffer of that size, so
// that a read past the field trips the address sanitizer:
// - the probe reply (a card command's 4000-byte payload): every line must
//   give a name without a blank or line end and a port 0..0xffff;
// - a card-information name (64 bytes): two words without blanks;
// - a resource dump (the first four input bytes are the count the driver
//   claims, the rest the 4000 data bytes): the text must have the length
//   the bytes it may read give.
#include "cardcfg/detect.h"
#include "driver/driver.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

// A heap buffer of exactly n bytes filled with the input over and over (zeros
// for an empty input), so a short input without a NUL fills the field to its
// end as a driver's text without one would.
std::unique_ptr<unsigned char[]> field(const uint8_t *data, size_t size, size_t n) {
  std::unique_ptr<unsigned char[]> f(new unsigned char[n]);
  for (size_t i = 0; i < n; i++) f[i] = size ? data[i % size] : 0;
  return f;
}

void check_reply(const uint8_t *data, size_t size) {
  const size_t n = kvl::CARD_COMMAND_PAYLOAD;
  auto payload = field(data, size, n);
  std::string_view reply = kvl::reply_text(payload.get(), n);
  if (reply.size() > n || reply.find('\0') != std::string_view::npos) std::abort();
  kvl::DetectLine line;
  int lines = 0;
  while (kvl::next_detect_line(reply, &line)) {
    if (line.name.find_first_of(" \n") != std::string_view::npos) std::abort();
    if (line.port < 0 || line.port > kvl::ISA_PORT_MAX) std::abort();
    if (++lines > static_cast<int>(n)) std::abort();
  }
}

void check_card_name(const uint8_t *data, size_t size) {
  const size_t n = sizeof(kvl::PnpCardInfo::name);
  auto name = field(data, size, n);
  kvl::PnpCardName words = kvl::read_pnp_card_name(reinterpret_cast<const char *>(name.get()), n);
  for (std::string_view w : {words.first, words.second})
    if (w.size() > n || w.find(' ') != std::string_view::npos) std::abort();
  if (words.first.size() + words.second.size() > n) std::abort();
}

void check_dump(const uint8_t *data, size_t size) {
  int32_t count = 0;
  std::memcpy(&count, data, size < 4 ? size : 4);
  const size_t n = sizeof(kvl::PnpResourceDump::data);
  auto bytes = field(size > 4 ? data + 4 : data, size > 4 ? size - 4 : 0, n);
  std::string out;
  kvl::append_pnp_resources(out, 7, count, bytes.get(), n);
  size_t shown = count < 0 ? 0 : static_cast<size_t>(count) < n ? static_cast<size_t>(count) : n;
  size_t heading = std::strlen("Resources for PnP card #7 (XXXXXXX)");
  if (out.size() != heading + (shown + 15) / 16 * 7 + shown * 3 + 2) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  check_reply(data, size);
  check_card_name(data, size);
  check_dump(data, size);
  return 0;
}
