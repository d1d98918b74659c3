// Keys as the key messages Windows posts. A host says which key changed, in
// Windows' terms (KeyEvent); key_message makes the message: WM_KEYDOWN and
// WM_KEYUP, or WM_SYSKEYDOWN and WM_SYSKEYUP while Alt is held (and for
// F10), with the virtual-key code in wParam and Windows' bits in lParam:
// repeat count 1, the key's scan code on a PC keyboard, the extended-key
// flag, Alt as the context code, the previous key state, the transition.
// The window procedure then sees the keys it would see on Windows, and
// DefWindowProcA gives them their default meaning.
//
// The release of Alt itself: Windows posts WM_SYSKEYUP when no other key
// went down while Alt was held (the press and release that activate a
// menu bar), and WM_KEYUP otherwise. The evidence: WM_SYSKEYUP's reference
// page says DefWindowProc sends WM_SYSCOMMAND (SC_KEYMENU) "if the F10 key
// or the ALT key was released", and lists AltGr's press and release ending
// in WM_SYSKEYUP VK_MENU; a keyboard hook's log on Windows 10 (build 19045)
// of Alt, 0, release 0, release Alt shows WM_SYSKEYUP for the 0 (context
// code set, lParam 0xE00B0001) and then WM_KEYUP VK_MENU without the
// context code (0xC1380001, the right Alt). In AltGr's sequence too no key
// goes down after Alt's press (Ctrl's comes before it). Alt itself is no
// longer down at its release, so the context code is clear either way.
#pragma once

#include "platform/win32_subset.h"

namespace win32 {

struct KeyEvent {
    UINT virtual_key = 0;   // 0: a key without a virtual-key code here
    bool extended = false;  // right Alt and Ctrl, keypad Enter, arrows and the block above them
    bool down = false;
    bool repeat = false;  // the auto-repeat of a key held down
    bool alt = false;     // an Alt key is down, counting this event's own change
    DWORD time = 0;
};

// The message for a key event, with hwnd left null; false for keys without
// a virtual-key code. Remembers whether a key went down while Alt was held.
bool key_message(const KeyEvent& key, MSG* message);

// The scan code of a virtual key on a PC keyboard (US layout), 0 if unknown.
UINT scan_code(UINT virtual_key);

}  // namespace win32
