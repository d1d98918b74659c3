// The demo's entry point: WinMain on Windows, main elsewhere. The program
// takes no command line and no environment.
#include "app/app.h"

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev_instance, LPSTR command_line,
                   int show_command)
{
    return app_main(instance, prev_instance, command_line, show_command);
}
#else
int main()
{
    return app_main(nullptr, nullptr, nullptr, SW_SHOWDEFAULT);
}
#endif
