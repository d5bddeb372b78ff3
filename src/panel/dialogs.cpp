// The control panel's dialogs: the control menu, the reorder dialog and the
// self test, on the text-UI toolkit.
#include "common/common.h"
#include "panel/panel.h"
#include "tui/tui.h"

namespace kvl {

namespace {

constexpr int MOVE_UP = 0x7ffffffd;
constexpr int MOVE_DOWN = 0x7ffffffc;
constexpr int REORDER_OK = -2;
constexpr int REORDER_CANCEL = -1;

constexpr int MENU_STAY = -1;  // what a menu action returns to run the menu again

int menu_save(PanelState &st) {
  message_box("Saving changes", 0);
  SaveOutcome out;
  int rc = save_routing(st, &out);
  for (const std::string &box : out.boxes) message_box(box.c_str(), 1);
  st.after_screen.insert(st.after_screen.end(), out.after_screen.begin(), out.after_screen.end());
  return rc == 0 ? 1 : MENU_STAY;
}

int menu_discard(PanelState &) {
  message_box("Exit without saving changes", 0);
  return 0;
}

int menu_self_test(PanelState &st) {
  run_kvltest_window(st.install_dir, "-C");
  return MENU_STAY;
}

int menu_input(PanelState &st) {
  reorder_devices(st.control, st.routes[ROUTE_INPUT]);
  return MENU_STAY;
}

int menu_output(PanelState &st) {
  reorder_devices(st.control, st.routes[ROUTE_OUTPUT]);
  return MENU_STAY;
}

int menu_duplex(PanelState &st) {
  reorder_devices(st.control, st.routes[ROUTE_DUPLEX]);
  return MENU_STAY;
}

struct MenuEntry {
  const char *text;
  int code;
  int (*action)(PanelState &);  // 1 saved, 0 discarded, MENU_STAY
};

const MenuEntry kControlMenu[] = {
    {"Save changes and Exit", 1, menu_save},
    {"Cancel changes and Exit", 2, menu_discard},
    {"Audio self test", 5, menu_self_test},
    {"/dev/dsp input device assignment", 6, menu_input},
    {"/dev/dsp output device assignment", 7, menu_output},
    {"/dev/dsp duplex device assignment", 8, menu_duplex},
};

}  // namespace

int control_menu(PanelState &st) {
  ChoiceList *list = list_create("Kelvane - Control menu", 25);
  for (const MenuEntry &e : kControlMenu) list_add_item(list, e.text, e.code);
  list_add_button(list, "Save and exit", 1);
  list_add_button(list, "Exit without saving", 2);
  for (;;) {
    int code = list_run(list);
    list_set_current(list, 0);  // every return to the menu starts at the top
    for (const MenuEntry &e : kControlMenu) {
      if (e.code != code) continue;
      int rc = e.action(st);
      if (rc != MENU_STAY) {
        list_destroy(list);
        return rc;
      }
      break;
    }
  }
}

void reorder_devices(const ControlDevice &control, RoutingRecord &rec) {
  if (rec.count <= 0) {
    message_box("No devices to reorder", 1);
    return;
  }
  ReorderList work = reorder_list_from(rec);
  for (;;) {
    ChoiceList *list = list_create("Reorder devices", work.count + 1);
    list_add_button(list, " Move Up ", MOVE_UP);
    list_add_button(list, " Move Down ", MOVE_DOWN);
    list_add_button(list, " OK ", REORDER_OK);
    list_add_button(list, " Cancel ", REORDER_CANCEL);
    list_add_header(list, "Select a device and move it up/down with the function buttons");
    list_add_header(list, "");
    for (int i = 0; i < work.count; i++) {
      // Fresh information every time: the names shown are the driver's now.
      AudioInfo info = {};
      info.dev = work.devices[i];
      bool known = control_send(control, SNDCTL_AUDIOINFO, &info) >= 0;
      list_add_item(list, device_line(work.devices[i], known ? &info : nullptr).c_str(), i);
    }
    list_set_current(list, work.position);
    int result = list_run(list);
    int i = list_current_index(list);
    list_destroy(list);
    if (result >= 0 && result <= work.count) work.position = result;
    switch (result) {
      case REORDER_CANCEL:
        return;
      case MOVE_UP:
        reorder_move_up(work, i);
        break;
      case MOVE_DOWN:
        reorder_move_down(work, i);
        break;
      case REORDER_OK:
        for (int k = 0; k < work.count; k++) rec.devices[k] = work.devices[k];
        return;
      default:
        break;
    }
  }
}

}  // namespace kvl
