// How logic asks the user: resource dialogs, firmware paths, menus and notes
// go through an Asker. The configurator and the control panel answer with
// the text-UI dialogs (tui/tui_asker.h), tests answer from a script,
// start-up prints notices on standard error. Logic never draws or prints to
// the user itself.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kvl {

// Answer codes, the same values as the toolkit's dialog codes.
constexpr int ASK_ESCAPE = 0x7fffffff;  // Escape; as an item code: a line that cannot be chosen
constexpr int ASK_HELP = 0x7ffffffe;    // a help button: show help, ask again
constexpr int ASK_USE_ITEM = 17;        // an Ok button: the caller takes the current item

struct AskItem {
  std::string text;
  int code;
};

struct AskButton {
  std::string label;
  int code;
};

// One choice: a titled list with header lines, items and buttons.
struct AskChoice {
  std::string title;
  std::vector<std::string> headers;
  std::vector<AskItem> items;
  std::vector<AskButton> buttons;
  int current = 0;  // index of the item current at the start
};

struct AskAnswer {
  int code;     // an item's or a button's code, or ASK_ESCAPE
  int current;  // index of the item current when the choice ended
};

class Asker {
 public:
  // Shows text; with wait, until the user has seen it.
  virtual void notice(const std::string &text, bool wait) = 0;
  // Lets the user choose from choice.
  virtual AskAnswer choose(const AskChoice &choice) = 0;
  // Lets the user edit text (at most bound - 1 characters). Returns 1 with
  // the edited text, 0 when cancelled (text unchanged).
  virtual int enter_text(const std::string &prompt, std::string &text, size_t bound) = 0;

 protected:
  ~Asker() = default;
};

// The asker of a run without a screen: notices go to standard error, one
// line each; choices and texts are cancelled.
class StderrAsker final : public Asker {
 public:
  void notice(const std::string &text, bool wait) override;
  AskAnswer choose(const AskChoice &choice) override;
  int enter_text(const std::string &prompt, std::string &text, size_t bound) override;
};

}  // namespace kvl
