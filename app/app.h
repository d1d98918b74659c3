// The application shell: window, Direct3D device, textures, music and the
// frame loop. One instance of everything, for the whole run.
#pragma once

#include "platform/platform.h"

// The program's entry (WinMain on Windows, main elsewhere), with the command
// line's options (app/options.h). Returns 0 after a normal end (the music is
// over, or the window was closed: close button, Esc, Alt-F4) and after the
// help, 1 when the device, the audio output or the music could not be
// started, and 2 for a command line it cannot follow.
int app_main(HINSTANCE instance, HINSTANCE prev_instance, LPSTR command_line, int show_command);

// Creates the factory and the device on the window: 0 on success, E_FAIL on failure.
HRESULT create_device(HWND window);

// One pass of the idle work: ends the show when the music has stopped,
// otherwise draws and presents the frame at the music's position.
void frame_tick();

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Releases the audio library, the textures, the device and the factory.
// Safe to call again: what was released is not released twice.
void shutdown();
