// SDL key events as the key messages Windows posts: WM_KEYDOWN and WM_KEYUP,
// or WM_SYSKEYDOWN and WM_SYSKEYUP while Alt is held (and for F10), with
// the virtual-key code in wParam and Windows' bits in lParam (repeat count
// 1, the scan code (SDL's numbering, not the PC keyboard's), Alt as the
// context code, the previous key state, the transition). The window procedure then sees the keys it
// would see on Windows, and DefWindowProcA gives them their default meaning.
#pragma once

#include <SDL2/SDL.h>

#include "platform/win32_subset.h"

namespace win32 {

// The virtual-key code of an SDL key, or 0 for a key without one here.
UINT virtual_key(SDL_Keycode key);

// The message for a key event, with hwnd left null; false for keys without
// a virtual-key code.
bool key_message(const SDL_KeyboardEvent& key, MSG* message);

}  // namespace win32
