// Drawing primitives shared by the dialogs, and their one way of reading a
// key. Everything drawn stays inside the window's frame: texts are cut before
// the right frame column, and on a screen too small for a dialog the rows and
// columns that do not fit are left out, so the frame stays whole.
#pragma once

#include <curses.h>

#include "tui/keys.h"

namespace kvl {

// The character shown for one byte of text: blanks for control characters,
// "?" for bytes outside ASCII.
chtype shown_char(char ch);
// A window of height x width at (row, col), made to fit on the screen
// (smaller, and moved up and left, where it would not), keypad on; nullptr
// only when curses has no room at all.
WINDOW *open_window(int height, int width, int row, int col);
// A box along the window's edges with blanks inside.
void draw_frame(WINDOW *win);
// On row: a left tee at column 0, width - 2 horizontal lines, a right tee;
// nothing on the frame's own top or bottom row.
void draw_separator(WINDOW *win, int row);
// "[" label "]" at (row, col): all reverse when selected, otherwise a dim "["
// and the rest plain, cut to the window's inner columns. Leaves the cursor on
// the label's first non-blank.
void draw_button(WINDOW *win, const char *label, int row, int col, int selected);
// In bold on row: a blank at column ((width - length) / 2) - 1, the text, and a
// trailing blank when trailing is 1. The text is cut to fit inside the frame;
// a window too narrow for any text gets none.
void draw_centred(WINDOW *win, int row, const char *text, int trailing);
// Writes text at (row, col) up to its first newline, at most max characters and
// never onto the frame; returns the number written.
int draw_text(WINDOW *win, int row, int col, const char *text, int max);
// Waits for the next key on win and translates it with translate_key. When
// the terminal's input has ended, ends the program through tui_fatal (status
// 255, "End of terminal input").
KeyPress read_key(WINDOW *win);

}  // namespace kvl
