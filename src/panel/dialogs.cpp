// The control panel's questions: the control menu and the reorder dialog,
// asked through an Asker.
#include "common/asker.h"
#include "panel/panel.h"

namespace kvl {

namespace {

constexpr int MOVE_UP = 0x7ffffffd;
constexpr int MOVE_DOWN = 0x7ffffffc;
constexpr int REORDER_OK = -2;
constexpr int REORDER_CANCEL = -1;

constexpr int CODE_SAVE = 1;
constexpr int CODE_DISCARD = 2;
constexpr int MENU_STAY = -1;  // what a menu action returns to ask the menu again

// The dialog's question for the working list, with each device's
// information as the driver gives it now.
AskChoice reorder_choice(const ControlDevice &control, const ReorderList &work) {
  AskChoice c;
  c.title = "Reorder devices";
  c.headers = {"Select a device and move it up/down with the function buttons", ""};
  for (int i = 0; i < work.count; i++) {
    AudioInfo info = {};
    info.dev = work.devices[i];
    bool known = control_send(control, SNDCTL_AUDIOINFO, &info) >= 0;
    c.items.push_back({device_line(work.devices[i], known ? &info : nullptr), i});
  }
  c.buttons = {{" Move Up ", MOVE_UP},
               {" Move Down ", MOVE_DOWN},
               {" OK ", REORDER_OK},
               {" Cancel ", REORDER_CANCEL}};
  c.current = work.position;
  return c;
}

int menu_save(Panel &p) {
  p.asker.notice("Saving changes", false);
  SaveOutcome out;
  int rc = save_routing(p.st, &out);
  for (const std::string &box : out.boxes) p.asker.notice(box, true);
  p.st.after_screen.insert(p.st.after_screen.end(), out.after_screen.begin(),
                           out.after_screen.end());
  return rc == 0 ? 1 : MENU_STAY;
}

int menu_discard(Panel &p) {
  p.asker.notice("Exit without saving changes", false);
  return 0;
}

int menu_self_test(Panel &p) {
  p.self_test(p.st.install_dir);
  return MENU_STAY;
}

struct MenuEntry {
  int code;
  const char *text;
  int (*action)(Panel &);  // 1 saved, 0 discarded, MENU_STAY
};

// The menu is these items, then one per routing list (ROUTE_MODES).
const MenuEntry MENU[] = {
    {CODE_SAVE, "Save changes and Exit", menu_save},
    {CODE_DISCARD, "Cancel changes and Exit", menu_discard},
    {5, "Audio self test", menu_self_test},
};

AskChoice menu_choice() {
  AskChoice c;
  c.title = "Kelvane - Control menu";
  for (const MenuEntry &e : MENU) c.items.push_back({e.text, e.code});
  for (const RouteMode &m : ROUTE_MODES) c.items.push_back({m.menu_text, m.menu_code});
  c.buttons = {{"Save and exit", CODE_SAVE}, {"Exit without saving", CODE_DISCARD}};
  return c;
}

}  // namespace

void reorder_devices(const ControlDevice &control, Asker &asker, RoutingRecord &rec) {
  if (rec.count <= 0) {
    asker.notice("No devices to reorder", true);
    return;
  }
  ReorderList work = reorder_list_from(rec);
  for (;;) {
    // Asked afresh after every action: the names shown are the driver's now.
    AskAnswer a = asker.choose(reorder_choice(control, work));
    if (a.code >= 0 && a.code <= work.count) work.position = a.code;
    switch (a.code) {
      case REORDER_CANCEL:
        return;
      case MOVE_UP:
        reorder_move_up(work, a.current);
        break;
      case MOVE_DOWN:
        reorder_move_down(work, a.current);
        break;
      case REORDER_OK:
        for (int k = 0; k < work.count; k++) rec.devices[k] = work.devices[k];
        return;
      default:  // a device line only moves the highlight; Escape goes on
        break;
    }
  }
}

int control_menu(Panel &p) {
  AskChoice menu = menu_choice();
  for (;;) {
    menu.current = 0;  // every return to the menu starts at the top
    int code = p.asker.choose(menu).code;
    for (const MenuEntry &e : MENU) {
      if (e.code != code) continue;
      int rc = e.action(p);
      if (rc != MENU_STAY) return rc;
    }
    for (int k = 0; k < ROUTE_COUNT; k++)
      if (ROUTE_MODES[k].menu_code == code) reorder_devices(p.st.control, p.asker, p.st.routes[k]);
  }
}

}  // namespace kvl
