#include "cardcfg/notice.h"

#include <cstdio>

namespace kvl {

namespace {
NoticeHandler g_handler = nullptr;
}

void user_notice(const char *text) {
  if (g_handler) {
    g_handler(text);
    return;
  }
  std::fprintf(stderr, "%s\n", text);
}

void set_notice_handler(NoticeHandler handler) { g_handler = handler; }

}  // namespace kvl
