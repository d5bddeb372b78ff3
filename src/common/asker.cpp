#include "common/asker.h"

#include <cstdio>

namespace kvl {

void StderrAsker::notice(const std::string &text, bool) {
  std::fprintf(stderr, "%s\n", text.c_str());
}

AskAnswer StderrAsker::choose(const AskChoice &choice) { return {ASK_ESCAPE, choice.current}; }

int StderrAsker::enter_text(const std::string &, std::string &, size_t) { return 0; }

}  // namespace kvl
