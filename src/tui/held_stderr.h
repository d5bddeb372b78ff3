// Standard error while the text screen is up. When it is the screen's own
// terminal, whatever any writer sends to descriptor 2 (this program, its
// libraries, the commands it runs) is held in an unlinked temporary file and
// written out, in order, once the screen has ended; a line written straight
// onto the screen would land on a dialog and be lost with the next repaint.
// A standard error that is a file, a pipe or another terminal is left alone.
#pragma once

namespace kvl {

// Starts holding when descriptor 2 is the terminal the screen draws on.
// Returns 1 when holding, 0 when not (nothing to hold, or no temporary file
// could be made; then lines still go straight to the terminal).
int hold_stderr();
// Puts the real standard error back and writes what was held onto it.
// Async-signal-safe, so the signal handlers can call it; does nothing when
// not holding.
void release_stderr();
// 1 when descriptor 2 writes onto the screen's terminal unheld: the dialogs
// then repaint the whole screen rather than trust what curses remembers.
int tui_stderr_on_screen();

}  // namespace kvl
