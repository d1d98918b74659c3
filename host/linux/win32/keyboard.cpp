#include "host/linux/win32/keyboard.h"

namespace win32 {

UINT virtual_key(SDL_Keycode key)
{
    // Letters and digits are their own upper-case ASCII codes on Windows.
    if (key >= SDLK_a && key <= SDLK_z) {
        return static_cast<UINT>('A' + (key - SDLK_a));
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return static_cast<UINT>(key);
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return VK_F1 + static_cast<UINT>(key - SDLK_F1);
    }
    switch (key) {
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_PAUSE:
        return VK_PAUSE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    default:
        return 0;
    }
}

bool key_message(const SDL_KeyboardEvent& key, MSG* message)
{
    const UINT code = virtual_key(key.keysym.sym);
    if (code == 0) {
        return false;
    }
    const bool down = key.type == SDL_KEYDOWN;
    const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
    // Windows' "system" keys: anything with Alt held, and F10 (the menu key).
    const bool system = alt || code == VK_F10;

    DWORD flags = static_cast<DWORD>(key.keysym.scancode) & 0xFF;
    if (alt) {
        flags |= KF_ALTDOWN;
    }
    if (!down || key.repeat != 0) {
        flags |= KF_REPEAT;  // the key was down before this message
    }
    if (!down) {
        flags |= KF_UP;
    }

    *message = MSG{};
    if (down) {
        message->message = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    } else {
        message->message = system ? WM_SYSKEYUP : WM_KEYUP;
    }
    message->wParam = code;
    message->lParam = static_cast<LPARAM>(static_cast<int32_t>((flags << 16) | 1u));
    message->time = key.timestamp;
    return true;
}

}  // namespace win32
