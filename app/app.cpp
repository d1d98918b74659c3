#include "app/app.h"

#include <algorithm>
#include <cstdio>

#include "app/options.h"
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

// How the back buffer reaches the window. Without options the device is
// made as it always was: the back buffer takes the client area's size and
// Present stretches it over the whole client area (the discard swap effect,
// no rectangles). Once the picture must keep its shape in a client area of
// another shape or size (--fullscreen, --window, Alt-Enter, a window resized
// by hand) the device is framed: the copy swap effect, the only one on which
// Direct3D 9 accepts Present's destination rectangle, a back buffer of the
// show's shape at the size it is shown, and black bars around it. A device
// made unframed becomes framed through Reset; a framed one follows the
// client area's size through Reset.
bool framed = false;
LONG unframed_width = 0;  // the client area the unframed back buffer was made for
LONG unframed_height = 0;
UINT back_buffer_width = 0;  // the framed back buffer
UINT back_buffer_height = 0;
bool present_failure_reported = false;

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
// cursor; or back to the framed window where it was. The device keeps its
// back buffer: only where Present puts it changes, so no frame is lost.
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

// Where a framed back buffer goes in the window: the centred rectangle of
// the show's shape, as large as the client area allows.
ShowFrame client_frame()
{
    RECT client{};
    GetClientRect(window, &client);
    return fit_show_frame(client.right - client.left, client.bottom - client.top);
}

RECT show_rect()
{
    const ShowFrame frame = client_frame();
    return RECT{frame.left, frame.top, frame.left + frame.width, frame.top + frame.height};
}

// The framed presentation parameters, for a back buffer of the given size.
D3DPRESENT_PARAMETERS framed_parameters(UINT width, UINT height)
{
    D3DPRESENT_PARAMETERS params{};
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_COPY;
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    return params;
}

// Gives the device a framed back buffer of the size the client area now
// shows, if it has not got one. Reset returns every device state to its
// default and keeps the textures (D3DX makes them managed): the layer and
// the scene's start-up states are set again, so the next frame is drawn
// exactly as it would have been. False if the device could not be reset;
// the show then ends.
bool fit_back_buffer()
{
    RECT client{};
    GetClientRect(window, &client);
    const LONG width = client.right - client.left;
    const LONG height = client.bottom - client.top;
    if (width <= 0 || height <= 0) {
        return true;  // minimised: nothing is shown, nothing to fit
    }
    if (!framed && width == unframed_width && height == unframed_height) {
        return true;
    }
    const ShowFrame frame = fit_show_frame(width, height);
    const auto frame_width = static_cast<UINT>(frame.width);
    const auto frame_height = static_cast<UINT>(frame.height);
    if (framed && frame_width == back_buffer_width && frame_height == back_buffer_height) {
        return true;
    }
    D3DPRESENT_PARAMETERS params = framed_parameters(frame_width, frame_height);
    const HRESULT result = device->Reset(&params);
    if (FAILED(result)) {
        char why[64];
        std::snprintf(why, sizeof why, "Reset failed, 0x%08X", static_cast<unsigned>(result));
        report_failure("cannot resize the picture", why);
        PostMessageA(window, WM_DESTROY, 0, 0);
        return false;
    }
    framed = true;
    back_buffer_width = frame_width;
    back_buffer_height = frame_height;
    gu_attach_device(device);
    set_startup_states();
    return true;
}

void present_frame()
{
    HRESULT result = D3D_OK;
    if (framed) {
        const RECT destination = show_rect();
        const bool shown =
            destination.right > destination.left && destination.bottom > destination.top;
        result = device->Present(nullptr, shown ? &destination : nullptr, nullptr, nullptr);
    } else {
        result = device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    if (FAILED(result) && !present_failure_reported) {
        std::fprintf(stderr, "demo: Present failed (0x%08X); the picture may not be shown\n",
                     static_cast<unsigned>(result));
        present_failure_reported = true;
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

    D3DPRESENT_PARAMETERS params{};
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    if (framed) {
        const ShowFrame frame = client_frame();
        back_buffer_width = static_cast<UINT>(std::max(frame.width, 1));
        back_buffer_height = static_cast<UINT>(std::max(frame.height, 1));
        params = framed_parameters(back_buffer_width, back_buffer_height);
    } else {
        RECT client{};
        GetClientRect(target_window, &client);
        unframed_width = client.right - client.left;
        unframed_height = client.bottom - client.top;
    }
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
    if (BASS_ChannelIsActive(stream) == BASS_ACTIVE_STOPPED) {
        const bool again = options.loop && stream != 0 && BASS_ChannelPlay(stream, TRUE);
        if (!again) {
            PostMessageA(window, WM_DESTROY, 0, 0);
            return;
        }
    }
    // The low 32 bits of the byte position: the show's only clock.
    music_pos =
        static_cast<int32_t>(static_cast<uint32_t>(BASS_ChannelGetPosition(stream, BASS_POS_BYTE)));

    if (!fit_back_buffer()) {
        return;
    }
    if (SUCCEEDED(device->BeginScene())) {
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
        break;
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
    case WM_ERASEBKGND:
        if (framed) {
            // The bars around the picture; Present draws the rest.
            RECT client{};
            GetClientRect(target_window, &client);
            FillRect(reinterpret_cast<HDC>(wparam), &client,
                     static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            return 1;
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
