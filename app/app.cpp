#include "app/app.h"

#include <cstdio>

#include "gu/gu.h"
#include "scene/scene.h"

namespace {

constexpr const char* kClassName = "PSP GUM";
constexpr const char* kWindowTitle = "PSP Vemro LIB";
constexpr const char* kMusicFile = "demo.mp3";

HWND window = nullptr;
IDirect3D9* factory = nullptr;
IDirect3DDevice9* device = nullptr;
HSTREAM stream = 0;
bool audio_started = false;

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

}  // namespace

int app_main(HINSTANCE, HINSTANCE, LPSTR, int)
{
    window = nullptr;
    stream = 0;
    exit_status = 0;
    HINSTANCE instance = GetModuleHandleA(nullptr);

    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof(WNDCLASSEXA);
    window_class.style = CS_CLASSDC;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = kClassName;
    RegisterClassExA(&window_class);

    window = CreateWindowExA(0, kClassName, kWindowTitle, WS_OVERLAPPEDWINDOW, 100, 100, 960, 544,
                             nullptr, nullptr, instance, nullptr);

    if (create_device(window) == 0) {
        gu_attach_device(device);
        load_textures();

        if (BASS_Init(-1, 44100, 0, window, nullptr)) {
            audio_started = true;
            const int32_t start = scene_init();

            stream = BASS_StreamCreateFile(FALSE, kMusicFile, 0, 0,
                                           BASS_STREAM_PRESCAN | BASS_STREAM_AUTOFREE);
            if (stream == 0) {
                // The first frame finds the channel stopped and ends the show.
                char what[64];
                std::snprintf(what, sizeof what, "cannot play \"%s\"", kMusicFile);
                report_failure(what, audio_error_text(BASS_ErrorGetCode()));
            }
            BASS_ChannelPlay(stream, FALSE);
            BASS_ChannelSetPosition(stream, static_cast<QWORD>(static_cast<int64_t>(start)),
                                    BASS_POS_BYTE);

            ShowWindow(window, SW_SHOWDEFAULT);
            UpdateWindow(window);
            run_message_loop();
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
        PostMessageA(window, WM_DESTROY, 0, 0);
        return;
    }
    // The low 32 bits of the byte position: the show's only clock.
    music_pos =
        static_cast<int32_t>(static_cast<uint32_t>(BASS_ChannelGetPosition(stream, BASS_POS_BYTE)));

    if (SUCCEEDED(device->BeginScene())) {
        render_frame();
        device->EndScene();
    }
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

LRESULT CALLBACK window_proc(HWND target_window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_DESTROY) {
        shutdown();
        PostQuitMessage(0);
        return 0;
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
