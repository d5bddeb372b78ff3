// apply FILE|-: a devices.cfg from elsewhere, checked on this machine's
// database and resources and saved only when nothing is wrong with it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/text.h"
#include "kvlcfg/kvlcfg.h"

namespace kvl {

namespace {

// The card keys of a devices.cfg text, in order, as the reader takes them.
std::vector<std::string> card_keys(const Session &s, const std::string &text) {
  auto scratch = std::make_unique<ConfigModel>();
  scratch->install_dir = s.model->install_dir;
  DevicesCfgLines lines;  // given, so that nothing is said about the file
  StderrAsker quiet;
  parse_devices_cfg(*scratch, s.db, quiet, text, &lines);
  std::vector<std::string> keys;
  for (int c = 0; c < scratch->cards.count; c++)
    keys.emplace_back(field_text(scratch->cards.cards[c].name));
  return keys;
}

}  // namespace

int cmd_apply(Session &s) {
  const std::string &source = s.opt.args[0];
  int rc = open_installation(s);
  if (rc == 0) rc = take_config_lock(s);
  if (rc) return rc;
  std::string text;
  if (source == "-") {
    s.config_name = "(standard input)";
    if (read_stream(stdin, text) < 0) return usage_refusal(s, "standard input: " + std::string(std::strerror(errno)));
  } else {
    s.config_name = source;
    if (read_text_file(source.c_str(), text) < 0)
      return usage_refusal(s, source + ": " + std::strerror(errno));
  }
  std::string now;
  std::string path = kvl_path(s.model->install_dir, DEVICES_CFG);
  if (read_text_file(path.c_str(), now) < 0) now.clear();
  // The saved routing numbers the audio devices of the cards in their
  // order: it goes when the cards or their order change.
  bool forget = card_keys(s, now) != card_keys(s, text);
  // The configuration it replaces is kept beside it.
  s.text_read = now;
  s.keep_old = !now.empty();
  s.replacing = true;
  parse_devices_cfg(*s.model, s.db, *s.asker, text, s.lines.get());
  return finish_change(s, forget);
}

}  // namespace kvl
