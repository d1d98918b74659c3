// The rest of the desktop the shell touches: the mouse cursor and message
// boxes.
//
// A message box is for a program started from a terminal here: its text
// goes to standard output when it informs (MB_ICONINFORMATION, such as a
// program's help) and to standard error otherwise, and it is answered at
// once with IDOK.
#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/win32_subset.h"

namespace {

// Windows' display counter: the cursor shows while it is 0 or more.
int cursor_count = 0;

}  // namespace

int WINAPI ShowCursor(BOOL show)
{
    cursor_count += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        SDL_ShowCursor(cursor_count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
    return cursor_count;
}

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR, UINT type)
{
    constexpr UINT kIconMask = 0xF0;  // MB_ICONMASK
    std::FILE* out = (type & kIconMask) == MB_ICONINFORMATION ? stdout : stderr;
    if (text != nullptr) {
        std::fputs(text, out);
    }
    std::fflush(out);
    return IDOK;
}
