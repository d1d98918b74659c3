// The page's key events in Windows' terms, for the shared key messages
// (host/common/win32/keyboard.h). A key is known by its KeyboardEvent.code,
// the key's place on the keyboard, which tells keypad Enter and the right
// Alt and Ctrl from their twins as Windows' extended-key flag does;
// altKey already counts the event's own Alt key, as the context code does.
#pragma once

#include <emscripten/html5.h>

#include "host/common/win32/keyboard.h"

namespace win32 {

// The key of a page's keydown (down) or keyup event; virtual_key 0 for keys
// without a code here.
KeyEvent page_key_event(const EmscriptenKeyboardEvent& event, bool down);

}  // namespace win32
