// The answerer of the programs with a screen: every question of the asking
// interface shown with the text-UI toolkit's dialogs.
#pragma once

#include "common/asker.h"

namespace kvl {

class TuiAsker final : public Asker {
 public:
  // A notice is a message box; one that waits has an Ok button.
  void notice(const std::string &text, bool wait) override;
  // A full-screen choice list. Header lines beyond what the list shows on
  // top become unselectable lines above the items, so long help texts scroll.
  AskAnswer choose(const AskChoice &choice) override;
  // The text input box.
  int enter_text(const std::string &prompt, std::string &text, size_t bound) override;
};

}  // namespace kvl
