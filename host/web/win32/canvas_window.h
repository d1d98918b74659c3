// Between the web windowing layer and the web Direct3D 9 surface: the canvas
// that stands behind an HWND made by CreateWindowExA.
#pragma once

#include "platform/win32_subset.h"

// The CSS selector of a live window's canvas ("#canvas"), or null for null
// or unknown handles.
const char* host_canvas(HWND window);
