// Text-UI toolkit: the text screen's start and end, a full-screen choice list
// with header lines and buttons, a centred message box and a text input box.
// No colours; bold, reverse and dim and the line-drawing characters only.
// All dialogs need tui_start first.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace kvl {

// Dialog codes shared with every caller.
constexpr int LIST_ESCAPE = 0x7fffffff;  // Escape/Ctrl-C; as an item code: unselectable line
constexpr int LIST_HELP = 0x7ffffffe;    // "Help"-like buttons: show help, run the list again
constexpr int LIST_USE_ITEM = 17;        // "Ok"-like buttons: the caller takes list_current_code

constexpr int LIST_TEXT_MAX = 127;   // title and item texts are cut to this length
constexpr int LIST_MAX_HEADERS = 15;
constexpr int LIST_MAX_BUTTONS = 5;

struct ChoiceItem {
  int code;
  char text[LIST_TEXT_MAX + 1];
};

struct ChoiceButton {
  const char *label;  // the caller's text, not copied
  int code;
};

// One choice-list dialog, from list_create to list_destroy.
struct ChoiceList {
  char title[LIST_TEXT_MAX + 1];
  int header_count;
  const char *headers[LIST_MAX_HEADERS];  // the caller's texts, not copied
  int capacity;
  int item_count;
  ChoiceItem *items;  // capacity entries
  int button_count;
  ChoiceButton buttons[LIST_MAX_BUTTONS];
  int height;         // window size, set by list_run
  int width;
  int first_visible;  // index of the item on the first list row
  int current;        // index of the current item
  int first_row;      // window row of the first item
  int focus;          // 0 = the item list, n = the n-th button
  int overflow_shown; // 1 once "Too many choice lines" was shown for this list
};

// Starts curses on the terminal: character-at-a-time raw input, no echo.
// From then until the screen ends, standard error is held when it is the
// screen's terminal (written out in order when the screen ends, also on
// tui_fatal, exit and the signals HUP, INT, QUIT and TERM, which end the
// screen first). Returns 0, or -1 when curses cannot use the terminal
// (TERM unset or unknown; nothing printed: see tui_start_error).
int tui_start();
// The line to print when tui_start failed, naming the terminal type.
std::string tui_start_error();
// Ends the text screen if it is active (waits one second, restores line mode,
// prints a newline on standard output, then writes what standard error
// held); does nothing otherwise.
void tui_end();
// 1 while the text screen is active.
int tui_active();
// The one fatal way out of a program with a text screen: ends the screen when
// it is active (so the terminal is back in line mode and nothing printed is
// lost on the alternate screen), prints text and a newline on standard error
// unless text is empty, and exits with status 255. Only program entries and
// the toolkit's own fatal limits call it.
[[noreturn]] void tui_fatal(const std::string &text);

// A new list with the title cut to 127 characters and current item 0. On
// allocation failure shows "malloc (selection) failed" or "malloc (choice)
// failed", ends the screen and exits with status 255.
ChoiceList *list_create(const char *title, int capacity);
// Appends a header line (pointer kept) and returns text. A 16th header shows
// "Internal error: Too many header lines", ends the screen and exits with 255.
const char *list_add_header(ChoiceList *list, const char *text);
// Removes all header lines, so that the list can be given new ones; the texts
// are the caller's and are not freed.
void list_clear_headers(ChoiceList *list);
// Appends an item (text copied, cut to 127 characters) and returns list. Past
// the capacity the item is dropped; the first time, "Internal error: Too many
// choice lines" is shown and the screen is then put back as it was.
ChoiceList *list_add_item(ChoiceList *list, const char *text, int code);
// Appends a button (label pointer kept); a sixth one is ignored.
void list_add_button(ChoiceList *list, const char *label, int code);
// Sets the current item; -1 means the item added last.
void list_set_current(ChoiceList *list, int index);
// Index of the current item.
int list_current_index(const ChoiceList *list);
// Code of the current item; LIST_ESCAPE when the list has no items.
int list_current_code(const ChoiceList *list);
// Shows the list full-screen until a key chooses; returns an item or button
// code, or LIST_ESCAPE for Escape, Ctrl-C, or Enter on an empty list.
int list_run(ChoiceList *list);
// Frees the item array and the list; a null list is ignored.
void list_destroy(ChoiceList *list);

// wait = 0: a 3-row note left on screen, returns at once; wait = 1: a 5-row box
// with an "  Ok  " button, returns after Enter, Return, Escape or Ctrl-C.
// Without an active screen the text goes to standard error.
void message_box(const char *text, int wait);

// Edits a one-line text that starts as buffer's content (size bytes with the
// terminating NUL). Returns 1 for Ok with the edited text in buffer, 0 for
// Cancel/Escape/Ctrl-C with buffer unchanged. Typing past size - 1 characters
// flashes and stores nothing.
int text_input(const char *prompt, char *buffer, std::size_t size);
// The same for a character array, bounded by its size.
template <std::size_t N>
int text_input(const char *prompt, char (&buffer)[N]) {
  return text_input(prompt, buffer, N);
}

// --- The self-test window (the configurator's and the control panel's) ---

constexpr int SELF_TEST_LIST_CAPACITY = 1000;  // lines of the results window
constexpr int SELF_TEST_LIST_WIDTH = 78;       // a longer file line gives several list lines

// Adds the lines of the text file at path to list as unselectable items
// (LIST_ESCAPE), in pieces of at most 78 characters; a file that cannot be
// read adds the one line "Failed to open the log file".
void append_file_to_list(ChoiceList *list, const char *path);

// Reads the test's output to its end in pieces of at most 1022 characters and
// hands each non-empty piece, cut at its newline, to show. Returns 1 when the
// last piece read holds "OK" (so only the last line decides), else 0.
int read_self_test_output(std::FILE *in, const std::function<void(const char *)> &show);

struct SelfTestRun {
  const char *command;   // shell pipeline that runs the test and tees its log
  const char *ok_label;  // the results window's button
  const char *readme;    // help text shown above the log
  const char *log;       // the log the pipeline writes
};

// Runs the test with its lines as notes, shows "All tests completed
// successfully." or "One or more errors were detected during the self test"
// (or "Failed to start the kvltest utility"), then the results window: the
// help text, an empty line, "Self test log", "=============" and the log.
void run_self_test_window(const SelfTestRun &run);

// The shell command of the audio self test of the installation at dir:
// DIR/bin/kvltest OPTIONS, its output also written by kvltest itself into
// DIR/logs/kvltest.log (-l, a log made afresh, never through a link), DIR
// single-quoted.
std::string kvltest_command(std::string_view dir, const char *options);

// The self-test window for that pipeline, with "  Ok  " and the help text
// DIR/docs/README.kvltest above the log.
void run_kvltest_window(std::string_view dir, const char *options);

// text in single quotes for the shell, a quote inside written '\''.
std::string shell_quote(std::string_view text);

}  // namespace kvl
