// The demo's entry point. On Linux the host's entry calls WinMain as
// Windows' C runtime does, with the arguments joined into one command line.
// The program reads no environment.
#include "app/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev_instance, LPSTR command_line,
                   int show_command)
{
    return app_main(instance, prev_instance, command_line, show_command);
}
