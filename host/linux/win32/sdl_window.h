// Between the Linux windowing layer and our OpenGL Direct3D 9 device (host/gl): the SDL
// window that stands behind an HWND made by CreateWindowExA.
#pragma once

#include <SDL2/SDL.h>

#include "platform/win32_subset.h"

// The SDL window of a live HWND, or null for null or unknown handles.
// The window is created with SDL_WINDOW_OPENGL so a device can render to it.
SDL_Window* host_sdl_window(HWND window);
