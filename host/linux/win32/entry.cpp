// The process entry of a Win32 program on Linux: what Windows' C runtime
// does before WinMain. Interrupts become close requests, then WinMain runs
// with the program's module, no previous instance, the command line after
// the program name, and the default show command.
#include <string>
#include <string_view>

#include "host/linux/win32/interrupts.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev_instance, LPSTR command_line,
                   int show_command);

int main(int argc, char** argv)
{
    win32::close_windows_on_interrupt();

    // One line, as Windows gives it: words with blanks are quoted.
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            command_line += ' ';
        }
        const std::string_view word = argv[i];
        const bool quote = word.find_first_of(" \t") != std::string_view::npos;
        if (quote) {
            command_line += '"';
        }
        command_line += word;
        if (quote) {
            command_line += '"';
        }
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, command_line.data(), SW_SHOWDEFAULT);
}
