// The seam between the Win32 subset's logic, shared by the hosts that have
// no Windows (host/common/win32), and each host's own windowing.
//
// The shared part keeps the window classes and windows, the thread message
// queue, PeekMessageA and DispatchMessageA, DefWindowProcA, window styles,
// the cursor's display counter, message boxes and the command line. A host
// (host/linux/win32 on SDL2, host/web/win32 on the HTML5 API) supplies the
// surface behind each window and its desktop's events: it implements the
// functions of the first half below, and hands what its desktop says to
// the functions of the second half. Each host also implements
// MonitorFromWindow and GetMonitorInfoA, which are about its desktop alone.
#pragma once

#include <string>

#include "host/common/win32/keyboard.h"
#include "platform/win32_subset.h"

namespace win32 {

// ---- What each host implements ----

// What stands behind a window on the host (an SDL window, the page's
// canvas). Each host defines it; the shared part only holds it.
struct Surface;

// A hidden surface for a new window, with that caption and client area at
// that place (CW_USEDEFAULT: where the host likes), or null when the host
// cannot make one (it says why on standard error when that is news).
Surface* open_surface(HWND window, const char* title, int x, int y, int width, int height);

// Ends a surface; its window is gone.
void close_surface(Surface* surface);

void show_surface(Surface* surface, bool visible);
// The window's caption, in UTF-8.
void set_surface_title(Surface* surface, const char* title);
bool surface_visible(const Surface* surface);

// The client area on the desktop. A host draws any frame outside it.
RECT surface_rect(const Surface* surface);

// SetWindowPos for a window of that style: the host moves and sizes the
// surface as SWP_NOMOVE and SWP_NOSIZE allow, with a frame or without
// (SWP_FRAMECHANGED), over the whole display when asked.
void place_surface(Surface* surface, DWORD style, int x, int y, int width, int height, UINT flags);

// Moves what the desktop has to say into the queue, without waiting. A host
// whose events arrive on their own (the page's) has nothing to do here.
void pump_events();

// The pointer over the program's windows, shown or hidden.
void show_pointer(bool visible);

// The time stamp of a message the program posts, in milliseconds.
DWORD message_time();

// ---- What the hosts call ----

// The surface of a live window, or null for null or unknown handles.
Surface* surface_of(HWND window);

// Desktop input for a window (its close request, a key), queued as input.
void post_input(HWND window, const MSG& message);
void request_close(HWND window);
void request_close_all();
bool has_windows();

// The program's end, as Windows ends a process: every window left goes with
// its surface, without a message to its procedure, and the queue is emptied.
// For a host whose program ends without its process ending (the page's).
void end_program_windows();

// The key message for a key of the host's desktop, posted as input; keys
// without a virtual-key code are dropped.
void post_key(HWND window, const KeyEvent& key);

// The command line WinMain gets for a program's arguments: one line, as
// Windows gives it, the arguments with blanks quoted.
std::string command_line(int argc, char** argv);

}  // namespace win32
