// The process entry of a Win32 program on Linux: what Windows' C runtime
// does before WinMain. Interrupts become close requests, then WinMain runs
// with the program's module, no previous instance, the command line after
// the program name, and the default show command. What Windows takes away
// with the process, the windows left, goes when WinMain returns.
#include <string>

#include "host/common/win32/host.h"
#include "host/linux/win32/interrupts.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev_instance, LPSTR command_line,
                   int show_command);

int main(int argc, char** argv)
{
    win32::close_windows_on_interrupt();
    std::string command_line = win32::command_line(argc, argv);
    const int status =
        WinMain(GetModuleHandleA(nullptr), nullptr, command_line.data(), SW_SHOWDEFAULT);
    win32::end_program_windows();
    return status;
}
