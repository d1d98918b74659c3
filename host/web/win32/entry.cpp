// The process entry of the demo in the browser: WinMain with the program's
// module, no previous instance, the arguments the page gave as one command
// line, and the default show command. The program's end does not end the
// page: what Windows would take away with the process goes here (the
// windows left, with the page's key listeners), and the page hears how the
// show ended (demoEnded), so that nothing of the program is kept alive.
#include <emscripten/emscripten.h>

#include <string>

#include "host/common/win32/host.h"
#include "platform/platform.h"
#include "scene/scene.h"
#include "scene/timeline.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev_instance, LPSTR command_line,
                   int show_command);

namespace {

// clang-format off
EM_JS(void, tell_page_the_show_ended, (int status), {
    if (Module.demoEnded) Module.demoEnded(status);
});
// clang-format on

}  // namespace

// For the page and its tests: the music position of the frame drawn last.
extern "C" EMSCRIPTEN_KEEPALIVE int demo_show_position()
{
    return music_pos;
}

// For the page's player: the first music byte of scene `number` (1 to 5),
// or -1 for another number.
extern "C" EMSCRIPTEN_KEEPALIVE int demo_scene_start(int number)
{
    return number >= 1 && number <= kSceneCount ? kSceneStarts[number - 1] : -1;
}

int main(int argc, char** argv)
{
    std::string command_line = win32::command_line(argc, argv);
    const int status =
        WinMain(GetModuleHandleA(nullptr), nullptr, command_line.data(), SW_SHOWDEFAULT);
    win32::end_program_windows();
    tell_page_the_show_ended(status);
    return status;
}
