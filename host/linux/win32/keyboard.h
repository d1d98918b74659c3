// SDL key events in Windows' terms, for the shared key messages
// (host/common/win32/keyboard.h). SDL's key codes follow the keyboard
// layout, as Windows' virtual keys do; SDL's modifier state at an event
// already counts that event's own key, as the context code does.
#pragma once

#include <SDL2/SDL.h>

#include "host/common/win32/keyboard.h"

namespace win32 {

// The key of an SDL key event; virtual_key 0 for keys without a code here.
KeyEvent key_event(const SDL_KeyboardEvent& key);

}  // namespace win32
