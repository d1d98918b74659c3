// The rest of the desktop the shell touches: the mouse cursor, message
// boxes, and the command line a program is started with.
//
// A message box is for a program started from a terminal (or, in the
// browser, for the console): its text goes to standard output when it
// informs (MB_ICONINFORMATION, such as a program's help) and to standard
// error otherwise, and it is answered at once with IDOK.
#include <cstdio>
#include <string>
#include <string_view>

#include "host/common/win32/host.h"

namespace {

// Windows' display counter: the cursor shows while it is 0 or more.
int cursor_count = 0;

}  // namespace

int WINAPI ShowCursor(BOOL show)
{
    cursor_count += show ? 1 : -1;
    win32::show_pointer(cursor_count >= 0);
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

namespace win32 {

std::string command_line(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            line += ' ';
        }
        const std::string_view word = argv[i];
        const bool quote = word.find_first_of(" \t") != std::string_view::npos;
        if (quote) {
            line += '"';
        }
        line += word;
        if (quote) {
            line += '"';
        }
    }
    return line;
}

}  // namespace win32
