#include "tui/tui_asker.h"

#include <vector>

#include "tui/tui.h"

namespace kvl {

static_assert(ASK_ESCAPE == LIST_ESCAPE && ASK_HELP == LIST_HELP && ASK_USE_ITEM == LIST_USE_ITEM,
              "the asking interface's codes are the toolkit's");

void TuiAsker::notice(const std::string &text, bool wait) { message_box(text.c_str(), wait); }

AskAnswer TuiAsker::choose(const AskChoice &choice) {
  bool on_top = choice.headers.size() <= static_cast<size_t>(LIST_MAX_HEADERS);
  int lead = on_top ? 0 : static_cast<int>(choice.headers.size());
  int capacity = lead + static_cast<int>(choice.items.size()) + 1;
  ChoiceList *list = list_create(choice.title.c_str(), capacity);
  if (on_top)
    for (const std::string &h : choice.headers) list_add_header(list, h.c_str());
  else
    for (const std::string &h : choice.headers) list_add_item(list, h.c_str(), LIST_ESCAPE);
  for (const AskItem &item : choice.items) list_add_item(list, item.text.c_str(), item.code);
  for (const AskButton &b : choice.buttons) list_add_button(list, b.label.c_str(), b.code);
  list_set_current(list, lead + choice.current);
  int code = list_run(list);
  int current = list_current_index(list) - lead;
  list_destroy(list);
  return {code, current};
}

int TuiAsker::enter_text(const std::string &prompt, std::string &text, size_t bound) {
  if (bound == 0) return 0;
  std::vector<char> buffer(bound, '\0');
  text.copy(buffer.data(), bound - 1);
  if (!text_input(prompt.c_str(), buffer.data(), bound)) return 0;
  text = buffer.data();
  return 1;
}

}  // namespace kvl
