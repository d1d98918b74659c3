#include "host/linux/win32/keyboard.h"

namespace win32 {
namespace {

struct VirtualKey {
    UINT code;
    bool extended;
};

VirtualKey virtual_key(SDL_Keycode key)
{
    // Letters and digits are their own upper-case ASCII codes on Windows.
    if (key >= SDLK_a && key <= SDLK_z) {
        return {static_cast<UINT>('A' + (key - SDLK_a)), false};
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return {static_cast<UINT>(key), false};
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return {VK_F1 + static_cast<UINT>(key - SDLK_F1), false};
    }
    switch (key) {
    case SDLK_ESCAPE:
        return {VK_ESCAPE, false};
    case SDLK_RETURN:
        return {VK_RETURN, false};
    case SDLK_KP_ENTER:
        return {VK_RETURN, true};
    case SDLK_SPACE:
        return {VK_SPACE, false};
    case SDLK_TAB:
        return {VK_TAB, false};
    case SDLK_BACKSPACE:
        return {VK_BACK, false};
    case SDLK_PAUSE:
        return {VK_PAUSE, false};
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return {VK_SHIFT, false};
    case SDLK_LCTRL:
        return {VK_CONTROL, false};
    case SDLK_RCTRL:
        return {VK_CONTROL, true};
    case SDLK_LALT:
        return {VK_MENU, false};
    case SDLK_RALT:
        return {VK_MENU, true};
    case SDLK_LEFT:
        return {VK_LEFT, true};
    case SDLK_RIGHT:
        return {VK_RIGHT, true};
    case SDLK_UP:
        return {VK_UP, true};
    case SDLK_DOWN:
        return {VK_DOWN, true};
    case SDLK_PAGEUP:
        return {VK_PRIOR, true};
    case SDLK_PAGEDOWN:
        return {VK_NEXT, true};
    case SDLK_HOME:
        return {VK_HOME, true};
    case SDLK_END:
        return {VK_END, true};
    case SDLK_INSERT:
        return {VK_INSERT, true};
    case SDLK_DELETE:
        return {VK_DELETE, true};
    default:
        return {0, false};
    }
}

}  // namespace

KeyEvent key_event(const SDL_KeyboardEvent& key)
{
    const VirtualKey code = virtual_key(key.keysym.sym);
    KeyEvent event;
    event.virtual_key = code.code;
    event.extended = code.extended;
    event.down = key.type == SDL_KEYDOWN;
    event.repeat = key.repeat != 0;
    event.alt = (key.keysym.mod & KMOD_ALT) != 0;
    event.time = key.timestamp;
    return event;
}

}  // namespace win32
