// SIGINT and SIGTERM as the desktop's close request. Windows ends a GUI
// program by closing its windows; here an interrupt does the same, so the
// program releases what it holds and ends with its normal status, at
// whatever moment the signal comes: before the first window exists (the
// request waits for it), during start-up, or mid-show.
#pragma once

namespace win32 {

// Catches the two signals from now on. A second one of the same kind ends
// the program at once, the usual escape from a program that does not stop.
void close_windows_on_interrupt();

// True once for each interrupt caught since the last call.
bool take_interrupt();

}  // namespace win32
