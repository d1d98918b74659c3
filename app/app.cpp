#include "app/app.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iterator>

#include "app/options.h"
#include "app/transport.h"
#include "gu/gu.h"
#include "scene/scene.h"

#ifdef _WIN32
#include <type_traits>
// Windows calls the window procedure with its own convention (stdcall on x86).
static_assert(std::is_same_v<decltype(&window_proc), WNDPROC>);
#endif

namespace {

constexpr const char* kClassName = "PSP GUM";
constexpr const char* kWindowTitle = "PSP Vemro LIB";
constexpr const char* kMusicFile = "demo.mp3";
constexpr const char* kHelpCaption = "Night Tree";
// A command line the program cannot follow ends it with this status.
constexpr int kUsageStatus = 2;

HWND window = nullptr;
IDirect3D9* factory = nullptr;
IDirect3DDevice9* device = nullptr;
HSTREAM stream = 0;
bool audio_started = false;

ShowOptions options;
// Whether the window covers its monitor now (--fullscreen, then Alt-Enter),
// and where it stood before it did.
bool fullscreen = false;
RECT windowed_rect{};

// How the picture fills the window. The device is always made as it always
// was: the discard swap effect, the back buffer at the client area's size,
// Present with no rectangles. Without options the scene is drawn over the
// whole back buffer, stretched as the client area's shape may have it. Once
// the picture must keep its shape (--fullscreen, --window, or a client area
// whose size changes: Alt-Enter, a window resized by hand) it is framed: the
// scene is drawn into the viewport of the show's shape in the middle of the
// back buffer, and the bars around it are cleared black in every frame.
// When the client area's size changes, Reset gives the back buffer the new
// size. (Direct3D 9 takes Present's destination rectangle only on a copy
// swap chain; Wine shows a window whose discard swap chain was reset to a
// copy one every other frame black. A viewport needs neither.)
bool framed = false;
UINT back_buffer_width = 0;
UINT back_buffer_height = 0;
bool present_failure_reported = false;

// While rehearsing, the title last shown (the time, the scene, paused).
wchar_t rehearsal_title_shown[64] = L"";
// DEMO_PRINT_POSITIONS set: each frame's music position on standard output,
// "position 1234567 playing" (or paused), for tests that drive the window.
bool print_positions = false;

// Start-up failures print one line and make the program end with status 1.
int exit_status = 0;

void report_failure(const char* what, const char* why)
{
    std::fprintf(stderr, "demo: %s: %s\n", what, why);
    exit_status = 1;
}

// What D3DX's answer means for a texture file; the show goes on without it.
const char* texture_error_text(HRESULT result)
{
    switch (result) {
    case D3DXERR_INVALIDDATA:
        return "missing, unreadable or not a texture";
    case D3DERR_NOTAVAILABLE:
        return "larger than the device allows";
    case D3DERR_OUTOFVIDEOMEMORY:
    case E_OUTOFMEMORY:
        return "out of memory";
    default:
        return "the texture could not be made";
    }
}

void load_textures()
{
    for (IDirect3DTexture9*& slot : texture_slots) {
        slot = nullptr;
    }
    for (const TextureFile& file : kTextureFiles) {
        const HRESULT result =
            D3DXCreateTextureFromFileA(device, file.name, &texture_slots[file.slot]);
        if (FAILED(result)) {
            texture_slots[file.slot] = nullptr;
            // D3DX answers the same for a directory or a device under the
            // file's name as for a damaged file; the platform tells them apart.
            const char* not_a_file =
                result == D3DXERR_INVALIDDATA ? input_file_refusal(file.name) : nullptr;
            std::fprintf(stderr, "demo: cannot load \"%s\": %s (0x%08X); drawn untextured\n",
                         file.name, not_a_file != nullptr ? not_a_file : texture_error_text(result),
                         static_cast<unsigned>(result));
        }
    }
}

// The message loop: a message is handled whenever one waits, and a frame is
// drawn otherwise; it never sleeps, frames are paced only by Present.
void run_message_loop()
{
    MSG msg{};
    do {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            frame_tick();
        }
    } while (msg.message != WM_QUIT);
}

// Borderless over the whole monitor at the desktop's own mode (no mode
// switch, so Alt-Tab and a second monitor keep working), without the mouse
// cursor; or back to the framed window where it was. The next frame gives
// the back buffer the new size (fit_back_buffer), so no frame is lost.
void set_fullscreen(bool on)
{
    const LONG_PTR visible = GetWindowLongPtrA(window, GWL_STYLE) & LONG_PTR{WS_VISIBLE};
    if (on) {
        GetWindowRect(window, &windowed_rect);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& area = monitor.rcMonitor;
        SetWindowLongPtrA(window, GWL_STYLE, static_cast<LONG_PTR>(WS_POPUP) | visible);
        SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
        ShowCursor(FALSE);
    } else {
        SetWindowLongPtrA(window, GWL_STYLE, LONG_PTR{WS_OVERLAPPEDWINDOW} | visible);
        SetWindowPos(window, HWND_TOP, windowed_rect.left, windowed_rect.top,
                     windowed_rect.right - windowed_rect.left,
                     windowed_rect.bottom - windowed_rect.top,
                     SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
        ShowCursor(TRUE);
    }
    fullscreen = on;
}

// The presentation parameters the device is made with (the back buffer
// takes the client area's size where the sizes are 0).
D3DPRESENT_PARAMETERS presentation_parameters(UINT width, UINT height)
{
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    return params;
}

// Gives the back buffer the client area's size when that has changed, and
// frames the picture from then on. Reset returns every device state to its
// default and keeps the textures (D3DX makes them managed): the layer and
// the scene's start-up states are set again, so the next frame is drawn
// exactly as it would have been. False if the device could not be reset;
// the show then ends.
bool fit_back_buffer()
{
    RECT client{};
    GetClientRect(window, &client);
    const auto width = static_cast<UINT>(std::max<LONG>(client.right - client.left, 0));
    const auto height = static_cast<UINT>(std::max<LONG>(client.bottom - client.top, 0));
    if (width == 0 || height == 0 || (width == back_buffer_width && height == back_buffer_height)) {
        return true;  // unchanged, or minimised: nothing is shown, nothing to fit
    }
    D3DPRESENT_PARAMETERS params = presentation_parameters(width, height);
    const HRESULT result = device->Reset(&params);
    if (FAILED(result)) {
        char why[64];
        std::snprintf(why, sizeof why, "Reset failed, 0x%08X", static_cast<unsigned>(result));
        report_failure("cannot resize the picture", why);
        PostMessageA(window, WM_DESTROY, 0, 0);
        return false;
    }
    framed = true;
    back_buffer_width = width;
    back_buffer_height = height;
    gu_attach_device(device);
    set_startup_states();
    return true;
}

// A framed frame's first step: the bars around the show's picture cleared
// black (with the whole back buffer as the viewport: Clear stops at the
// viewport), then the picture's place as the viewport the scene draws in.
void frame_the_picture()
{
    const ShowFrame frame =
        fit_show_frame(static_cast<int>(back_buffer_width), static_cast<int>(back_buffer_height));
    const auto left = static_cast<LONG>(frame.left);
    const auto top = static_cast<LONG>(frame.top);
    const auto right = static_cast<LONG>(frame.left + frame.width);
    const auto bottom = static_cast<LONG>(frame.top + frame.height);
    const auto full_width = static_cast<LONG>(back_buffer_width);
    const auto full_height = static_cast<LONG>(back_buffer_height);
    // Left and right bars, or top and bottom ones; none when the shape fits.
    const D3DRECT bars[2] = {
        top == 0 ? D3DRECT{0, 0, left, full_height} : D3DRECT{0, 0, full_width, top},
        top == 0 ? D3DRECT{right, 0, full_width, full_height}
                 : D3DRECT{0, bottom, full_width, full_height},
    };
    const D3DVIEWPORT9 whole{0, 0, back_buffer_width, back_buffer_height, 0.0f, 1.0f};
    device->SetViewport(&whole);
    if (left > 0 || top > 0 || right < full_width || bottom < full_height) {
        device->Clear(2, bars, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    }
    const D3DVIEWPORT9 picture{static_cast<DWORD>(frame.left),
                               static_cast<DWORD>(frame.top),
                               static_cast<DWORD>(frame.width),
                               static_cast<DWORD>(frame.height),
                               0.0f,
                               1.0f};
    device->SetViewport(&picture);
}

void present_frame()
{
    const HRESULT result = device->Present(nullptr, nullptr, nullptr, nullptr);
    if (FAILED(result) && !present_failure_reported) {
        std::fprintf(stderr, "demo: Present failed (0x%08X); the picture may not be shown\n",
                     static_cast<unsigned>(result));
        present_failure_reported = true;
    }
}

void show_rehearsal_title(bool paused)
{
    wchar_t title[64];
    rehearsal_title(music_pos, paused, title, std::size(title));
    if (std::wcscmp(title, rehearsal_title_shown) != 0) {
        std::wcscpy(rehearsal_title_shown, title);
        SetWindowTextW(window, title);
    }
}

// The help, or a command line mistake with the help after it: a message box
// on Windows, the terminal on Linux.
int report_usage(const char* error)
{
    if (error == nullptr) {
        MessageBoxA(nullptr, show_usage(), kHelpCaption, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    char text[2048];
    std::snprintf(text, sizeof text, "demo: %s\n\n%s", error, show_usage());
    MessageBoxA(nullptr, text, kHelpCaption, MB_OK | MB_ICONERROR);
    return kUsageStatus;
}

}  // namespace

int app_main(HINSTANCE, HINSTANCE, LPSTR command_line, int)
{
    window = nullptr;
    stream = 0;
    exit_status = 0;
    fullscreen = false;
    framed = false;
    present_failure_reported = false;
    rehearsal_title_shown[0] = L'\0';
    print_positions = std::getenv("DEMO_PRINT_POSITIONS") != nullptr;
    char error[256];
    if (!parse_show_options(command_line, &options, error, sizeof error)) {
        return report_usage(error);
    }
    if (options.help) {
        return report_usage(nullptr);
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);

    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof(WNDCLASSEXA);
    window_class.style = CS_CLASSDC;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = kClassName;
    RegisterClassExA(&window_class);

    // --window gives the client area; without it the window's outer size is 960 x 544.
    RECT outer{0, 0, options.window_width, options.window_height};
    if (options.window_given) {
        AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    }
    window = CreateWindowExA(0, kClassName, kWindowTitle, WS_OVERLAPPEDWINDOW, 100, 100,
                             outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                             instance, nullptr);
    if (options.fullscreen) {
        set_fullscreen(true);
    }
    framed = options.fullscreen || options.window_given;

    if (create_device(window) == 0) {
        gu_attach_device(device);
        load_textures();

        if (BASS_Init(-1, 44100, 0, window, nullptr)) {
            audio_started = true;
            const int32_t start = scene_init();

            // A looping show keeps its stream at the end, to play it again.
            const DWORD stream_flags =
                options.loop ? BASS_STREAM_PRESCAN : BASS_STREAM_PRESCAN | BASS_STREAM_AUTOFREE;
            stream = BASS_StreamCreateFile(FALSE, kMusicFile, 0, 0, stream_flags);
            if (stream == 0) {
                // The first frame finds the channel stopped and ends the show.
                char what[64];
                std::snprintf(what, sizeof what, "cannot play \"%s\"", kMusicFile);
                report_failure(what, audio_error_text(BASS_ErrorGetCode()));
            }
            BASS_ChannelPlay(stream, FALSE);
            const BOOL positioned = BASS_ChannelSetPosition(
                stream, static_cast<QWORD>(static_cast<int64_t>(start) + options.from),
                BASS_POS_BYTE);
            if (stream != 0 && options.from != 0 && !positioned) {
                shutdown();
                std::snprintf(error, sizeof error, "--from %lld: \"%s\" is not that long",
                              static_cast<long long>(options.from), kMusicFile);
                exit_status = report_usage(error);
            } else {
                ShowWindow(window, SW_SHOWDEFAULT);
                UpdateWindow(window);
                run_message_loop();
            }
        } else {
            report_failure("cannot start the audio output", audio_error_text(BASS_ErrorGetCode()));
            shutdown();
        }
    } else {
        shutdown();
    }

    UnregisterClassA(kClassName, instance);
    return exit_status;
}

HRESULT create_device(HWND target_window)
{
    factory = Direct3DCreate9(D3D_SDK_VERSION);
    if (factory == nullptr) {
        report_failure("cannot create the Direct3D 9 device", "Direct3DCreate9 returned null");
        return E_FAIL;
    }

    D3DPRESENT_PARAMETERS params = presentation_parameters(0, 0);
    // The size the back buffer takes; Reset follows the client area from here.
    RECT client{};
    GetClientRect(target_window, &client);
    back_buffer_width = static_cast<UINT>(std::max<LONG>(client.right - client.left, 0));
    back_buffer_height = static_cast<UINT>(std::max<LONG>(client.bottom - client.top, 0));
    const HRESULT result =
        factory->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, target_window,
                              D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
    if (FAILED(result)) {
        const char* reason = result == D3DERR_NOTAVAILABLE
                                 ? "no hardware device is available (D3DERR_NOTAVAILABLE)"
                                 : "CreateDevice failed";
        char why[96];
        std::snprintf(why, sizeof why, "%s, 0x%08X", reason, static_cast<unsigned>(result));
        report_failure("cannot create the Direct3D 9 device", why);
        return E_FAIL;
    }
    return 0;
}

void frame_tick()
{
    const DWORD activity = BASS_ChannelIsActive(stream);
    if (activity == BASS_ACTIVE_STOPPED) {
        const bool again = options.loop && stream != 0 && BASS_ChannelPlay(stream, TRUE);
        if (!again) {
            PostMessageA(window, WM_DESTROY, 0, 0);
            return;
        }
    }
    // The low 32 bits of the byte position: the show's only clock.
    music_pos =
        static_cast<int32_t>(static_cast<uint32_t>(BASS_ChannelGetPosition(stream, BASS_POS_BYTE)));

    if (print_positions) {
        std::printf("position %ld %s\n", static_cast<long>(music_pos),
                    activity == BASS_ACTIVE_PAUSED ? "paused" : "playing");
        std::fflush(stdout);
    }
    if (options.rehearse) {
        show_rehearsal_title(activity == BASS_ACTIVE_PAUSED);
    }
    if (!fit_back_buffer()) {
        return;
    }
    if (SUCCEEDED(device->BeginScene())) {
        if (framed) {
            frame_the_picture();
        }
        render_frame();
        device->EndScene();
    }
    present_frame();
}

LRESULT CALLBACK window_proc(HWND target_window, UINT message, WPARAM wparam, LPARAM lparam)
{
    const bool alt_held = ((static_cast<DWORD>(lparam) >> 16) & KF_ALTDOWN) != 0;
    const bool repeated = ((static_cast<DWORD>(lparam) >> 16) & KF_REPEAT) != 0;
    switch (message) {
    case WM_DESTROY:
        shutdown();
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wparam == VK_ESCAPE) {
            // The close button's way out: WM_CLOSE, then the default handling.
            PostMessageA(target_window, WM_CLOSE, 0, 0);
            return 0;
        }
        if (options.rehearse && transport_key(stream, wparam, repeated)) {
            return 0;
        }
        break;
    case kSeekMessage:
        if (options.rehearse) {
            transport_seek(stream, lparam);
        }
        return 0;
    case kPauseMessage:
        if (options.rehearse) {
            transport_pause(stream, wparam != 0);
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wparam == VK_RETURN && alt_held) {
            if (!repeated) {
                set_fullscreen(!fullscreen);
            }
            return 0;
        }
        break;
    case WM_SYSCHAR:
        if (wparam == '\r') {
            return 0;  // Alt-Enter is ours: no beep for a menu the window lacks
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(target_window, message, wparam, lparam);
}

void shutdown()
{
    // Each object is forgotten as it is released, so a second WM_DESTROY (a
    // posted one and a real one close together) releases nothing again.
    if (audio_started) {
        BASS_Free();
        audio_started = false;
        stream = 0;
    }
    for (IDirect3DTexture9*& slot : texture_slots) {
        if (slot != nullptr) {
            slot->Release();
            slot = nullptr;
        }
    }
    if (device != nullptr) {
        device->Release();
        device = nullptr;
    }
    if (factory != nullptr) {
        factory->Release();
        factory = nullptr;
    }
}
