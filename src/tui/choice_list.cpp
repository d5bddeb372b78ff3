// Building a choice list: creation, header lines, items, buttons, the current
// item, and the limits of each.
#include <curses.h>

#include <cstdlib>
#include <cstring>

#include "tui/tui.h"

namespace kvl {

namespace {

// Shows text in a waiting box, then takes the fatal way out, which prints it
// again once the screen has ended.
[[noreturn]] void fatal_box(const char *text) {
  message_box(text, 1);
  tui_fatal(text);
}

void copy_text(char *dest, const char *text) {
  std::strncpy(dest, text ? text : "", LIST_TEXT_MAX);
  dest[LIST_TEXT_MAX] = '\0';
}

// Shows text in a waiting box, then puts back what the screen showed before.
void box_keeping_screen(const char *text) {
  WINDOW *saved = tui_active() ? dupwin(curscr) : nullptr;
  message_box(text, 1);
  if (!saved) return;
  touchwin(saved);
  wrefresh(saved);
  delwin(saved);
}

}  // namespace

ChoiceList *list_create(const char *title, int capacity) {
  auto *list = static_cast<ChoiceList *>(std::calloc(1, sizeof(ChoiceList)));
  if (!list) fatal_box("malloc (selection) failed");
  if (capacity < 0) capacity = 0;
  // At least one entry, so that an empty list is not taken for a failure.
  list->items = static_cast<ChoiceItem *>(std::calloc(capacity > 0 ? capacity : 1, sizeof(ChoiceItem)));
  if (!list->items) fatal_box("malloc (choice) failed");
  copy_text(list->title, title);
  list->capacity = capacity;
  return list;
}

const char *list_add_header(ChoiceList *list, const char *text) {
  if (list->header_count >= LIST_MAX_HEADERS) fatal_box("Internal error: Too many header lines");
  list->headers[list->header_count++] = text;
  return text;
}

void list_clear_headers(ChoiceList *list) {
  for (int i = 0; i < list->header_count; i++) list->headers[i] = nullptr;
  list->header_count = 0;
}

ChoiceList *list_add_item(ChoiceList *list, const char *text, int code) {
  if (list->item_count >= list->capacity) {
    if (!list->overflow_shown) {
      list->overflow_shown = 1;
      box_keeping_screen("Internal error: Too many choice lines");
    }
    return list;
  }
  ChoiceItem *item = &list->items[list->item_count++];
  item->code = code;
  copy_text(item->text, text);
  return list;
}

void list_add_button(ChoiceList *list, const char *label, int code) {
  if (list->button_count >= LIST_MAX_BUTTONS) return;
  list->buttons[list->button_count++] = {label, code};
}

void list_set_current(ChoiceList *list, int index) {
  list->current = index == -1 ? list->item_count - 1 : index;
}

int list_current_index(const ChoiceList *list) { return list->current; }

int list_current_code(const ChoiceList *list) {
  if (list->current < 0 || list->current >= list->item_count) return LIST_ESCAPE;
  return list->items[list->current].code;
}

void list_destroy(ChoiceList *list) {
  if (!list) return;
  std::free(list->items);
  std::free(list);
}

}  // namespace kvl
