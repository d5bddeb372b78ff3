// The card configuration read from standard input at start-up: card headers,
// option lines and card lines, each turned into driver requests.
#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "cardcfg/pnp_device.h"
#include "cardcfg/devices_cfg.h"
#include "common/common.h"
#include "control/control.h"
#include "driver/driver.h"
#include "entry/entry.h"
#include "start/card_config.h"
#include "start/firmware.h"
#include "start/startup.h"
#include "sys/sys.h"

namespace kvl {


namespace {

// "-NAME #description": the card header, sent unchecked.
void apply_header_line(StartupRun &run, std::string_view line, std::string_view w0) {
  run.apply.pending_control.clear();
  CardHeaderRecord rec = {};
  copy_field(rec.name, w0.substr(1));
  std::string_view descr = rest_after(line, w0);
  if (!descr.empty()) descr.remove_prefix(1);  // the "#" written before the title
  copy_field(rec.description, descr);
  control_send(run.core.control, CTL_CARD_HEADER, &rec);
}

// "/OPTION ...": the global switches, "/PNPDEV" and "/CONTROL"; others are
// the configurator's and ignored here.
void apply_option_line(StartupRun &run, std::string_view line, const std::vector<std::string_view> &words) {
  std::string_view option = words[0].substr(1);
  if (option == "SECUREAUDIO") {
    if (words.size() > 1) run.apply.secure_audio = words[1] == "OFF" ? 0 : 1;
  } else if (option == "PNPDEV") {
    set_pnp_device(run.core.control, rest_after(line, words[0]));
  } else if (option == "CONTROL") {
    run.apply.pending_control = std::string(rest_after(line, words[0]));
  } else if (option == "DSPX") {
    run.apply.dspx = 1;
  }
}

// Reads the number after a word's letter into *field. Returns 0, or -1 after
// "Illegal parm" when the rest of the word is no number.
int take_number(std::string_view word, int base, int32_t *field) {
  int v;
  if (parse_number(word.substr(1), base, &v) != 0) {
    std::fprintf(stderr, "Illegal parm '%s'\n", quote_text(word).c_str());
    return -1;
  }
  *field = v;
  return 0;
}

// How a card line's words ended.
enum class CardEnd { add, skip, pnp };

// The words after the driver name, into rec. Echoes each word by verbosity.
CardEnd take_card_words(StartupRun &run, std::string_view line, const std::vector<std::string_view> &words,
                        CardConfigRecord *rec) {
  for (size_t i = 1; i < words.size(); i++) {
    std::string_view w = words[i];
    if (run.core.model.verbosity > 0) std::fprintf(stderr, " %s", quote_text(w).c_str());
    char kind = w.empty() ? '\0' : w[0];
    switch (kind) {
      case 'P': if (take_number(w, 16, &rec->port) < 0) return CardEnd::skip; break;
      case 'I': if (take_number(w, 10, &rec->irq) < 0) return CardEnd::skip; break;
      case 'D': if (take_number(w, 10, &rec->dma1) < 0) return CardEnd::skip; break;
      case 'd': if (take_number(w, 10, &rec->dma2) < 0) return CardEnd::skip; break;
      case 'N': copy_field(rec->name, w.substr(1)); break;
      case '#':
      case 'i':
        break;
      case '$':
        run_card_command(run.core, words[0], w.substr(1), rest_after(line, w));
        return CardEnd::skip;
      case 'O':
        if (w.size() > 1 && w[1] == 'F') return CardEnd::skip;
        if (w.size() > 1 && w[1] == 'P') return CardEnd::pnp;
        break;
      default: {
        std::fprintf(stderr, "Unknown parm '%s'\n", quote_text(w).c_str());
        return CardEnd::skip;
      }
    }
  }
  return CardEnd::add;
}

// A card line: W0 names a card-level driver. Returns 0, or -1 after printing
// when the driver refused the card.
int apply_card_line(StartupRun &run, std::string_view line, const std::vector<std::string_view> &words) {
  std::string driver(words[0]);
  std::string shown = quote_text(driver);
  int key = driver_key_by_name(run.core.model.drivers, driver);
  if (key == -1) {
    if (driver == "DUMMY") return 0;
    std::fprintf(stderr, "No driver found for '%s'.\n", shown.c_str());
    std::fprintf(stderr, "It's possibly not available for this operating system yet.\n");
    std::printf("No driver found for '%s'.\n", shown.c_str());
    std::printf("It's probably not available for this operating system yet.\n");
    return 0;
  }

  CardConfigRecord rec = {};
  rec.key = key;
  copy_field(rec.name, driver);
  rec.dma1 = -1;
  rec.dma2 = -1;
  if (run.core.model.verbosity > 0) {
    std::fprintf(stderr, "Configuring %d: %s", key, shown.c_str());
    run.apply.log_line_open = true;
  }

  CardEnd end = take_card_words(run, line, words, &rec);
  if (end == CardEnd::add) {
    sys_sync();
    if (control_send(run.core.control, CTL_ADD_CARD, &rec) < 0) {
      int e = errno;
      std::fprintf(stderr, "errno=%d\n", e);
      print_error(request_label(CTL_ADD_CARD), e);
      return -1;
    }
    if (run.core.model.verbosity > 0) std::fprintf(stderr, " device added ");
    run.cards_added++;
  }
  if (end != CardEnd::skip && !run.apply.pending_control.empty()) apply_control_line(run, driver);
  if (run.apply.log_line_open) std::fprintf(stderr, "\n");
  run.apply.log_line_open = false;
  return 0;
}

}  // namespace

int apply_card_config(StartupRun &run, std::string_view text) {
  std::string_view line;
  int n = 0;
  for (int rc; (rc = next_config_line(text, line, &n)) != 0;) {
    if (rc < 0) {
      std::string path = kvl_path(run.core.model.install_dir, DEVICES_CFG);
      std::fprintf(stderr, "%s\n", nul_line_message(path, n).c_str());
      continue;
    }
    std::vector<std::string_view> words = split_words(line);
    if (words.empty()) continue;
    std::string_view w0 = words[0];
    char kind = w0.empty() ? '\0' : w0[0];
    if (kind == '#') continue;
    if (kind == '-') {
      apply_header_line(run, line, w0);
    } else if (kind == '/') {
      apply_option_line(run, line, words);
    } else if (apply_card_line(run, line, words) < 0) {
      return -1;
    }
  }
  return 0;
}

}  // namespace kvl
