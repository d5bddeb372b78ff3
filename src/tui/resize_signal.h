// The terminal's resize signal, caught by the toolkit itself. curses' own
// handler only sets a flag that its next read looks at: a signal that comes
// after the last screen update and before the read blocks is not seen until
// the user presses a key, so the screen would keep a size the terminal no
// longer has. Here the signal writes to a pipe that the key reader waits on
// beside the terminal.
#pragma once

namespace kvl {

// Catches SIGWINCH into the pipe; before curses starts, so that curses
// leaves the signal to us. Returns 0, or -1 when no pipe could be made
// (curses then keeps the signal and handles it as it can).
int catch_resize_signal();
// The pipe's read end, or -1.
int resize_signal_fd();
// When the terminal's size is not the screen's (a signal came, or one was
// missed), empties the pipe, gives curses the new size and returns 1;
// otherwise 0.
int take_resize();

}  // namespace kvl
