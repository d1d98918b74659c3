#include "tests/app/fake_platform.h"

#include <cstdarg>
#include <cstdio>
#include <memory>

#include "host/recording/recording_device.h"

namespace fake {

std::vector<std::string> events;
std::vector<std::string> calls;
Windowing windowing;
Audio audio;
D3dx d3dx;
Direct3D direct3d;

namespace {

// Objects handed to the shell live until the next reset, so tests can read
// their reference counts after the run.
std::vector<std::unique_ptr<RecordingFactory>> factories;
std::vector<std::unique_ptr<RecordingTexture>> textures;

std::string hex_message(const char* verb, UINT message)
{
    char line[48];
    std::snprintf(line, sizeof line, "%s 0x%04X", verb, message);
    return line;
}

}  // namespace

void log_call(const char* format, ...)
{
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    calls.push_back(line);
}

void reset()
{
    events.clear();
    calls.clear();
    windowing = Windowing{};
    audio = Audio{};
    d3dx = D3dx{};
    direct3d = Direct3D{};
    factories.clear();
    textures.clear();
}

HWND window_handle()
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1000));
}

}  // namespace fake

using fake::events;
using fake::log_call;

namespace {

const void* as_pointer(HWND window)
{
    return static_cast<const void*>(window);
}

}  // namespace

// --- Windowing ---------------------------------------------------------------

HMODULE WINAPI GetModuleHandleA(LPCSTR)
{
    return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* window_class)
{
    const WNDCLASSEXA& c = *window_class;
    log_call(
        "RegisterClassExA size=%s style=0x%X extra=%d,%d instance=%p icon=%p cursor=%p "
        "brush=%p menu=%p class=\"%s\" small_icon=%p",
        c.cbSize == sizeof(WNDCLASSEXA) ? "sizeof" : "other", c.style, c.cbClsExtra, c.cbWndExtra,
        static_cast<void*>(c.hInstance), static_cast<void*>(c.hIcon), static_cast<void*>(c.hCursor),
        static_cast<void*>(c.hbrBackground), static_cast<const void*>(c.lpszMenuName),
        c.lpszClassName, static_cast<void*>(c.hIconSm));
    fake::windowing.window_proc = window_class->lpfnWndProc;
    fake::windowing.class_registered = true;
    return 1;
}

BOOL WINAPI UnregisterClassA(LPCSTR, HINSTANCE)
{
    fake::windowing.class_registered = false;
    events.push_back("UnregisterClassA");
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param)
{
    log_call("CreateWindowExA 0x%08X \"%s\" \"%s\" 0x%08X %d %d %d %d %p %p %p %p", ex_style,
             class_name, title, style, x, y, width, height, as_pointer(parent),
             static_cast<void*>(menu), static_cast<void*>(instance), param);
    fake::windowing.style = static_cast<LONG>(style);
    fake::windowing.rect = RECT{x, y, x + width, y + height};
    fake::windowing.window_created = true;
    return fake::window_handle();
}

BOOL WINAPI DestroyWindow(HWND window)
{
    fake::windowing.window_destroyed = true;
    ++fake::windowing.destroy_messages_sent;
    fake::windowing.window_proc(window, WM_DESTROY, 0, 0);
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int show_command)
{
    log_call("ShowWindow %p %d", as_pointer(window), show_command);
    fake::windowing.style |= static_cast<LONG>(WS_VISIBLE);
    fake::windowing.window_shown = true;
    events.push_back("ShowWindow");
    if (fake::windowing.on_show) {
        fake::windowing.on_show();
    }
    return FALSE;
}

BOOL WINAPI UpdateWindow(HWND window)
{
    log_call("UpdateWindow %p", as_pointer(window));
    return TRUE;
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND, UINT, UINT, UINT remove)
{
    if (fake::windowing.queue.empty()) {
        return FALSE;
    }
    *msg = fake::windowing.queue.front();
    if (remove & PM_REMOVE) {
        fake::windowing.queue.pop_front();
    }
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG*)
{
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg)
{
    events.push_back(fake::hex_message("dispatch", msg->message));
    if (msg->hwnd == nullptr || msg->message == WM_QUIT) {
        return 0;
    }
    return fake::windowing.window_proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    events.push_back(fake::hex_message("post", message));
    fake::windowing.queue.push_back(MSG{window, message, wparam, lparam, 0, {0, 0}});
    return TRUE;
}

void WINAPI PostQuitMessage(int exit_code)
{
    events.push_back("PostQuitMessage");
    fake::windowing.queue.push_back(
        MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exit_code), 0, 0, {0, 0}});
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM)
{
    events.push_back(fake::hex_message("default", message));
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    }
    return 0;
}

LONG WINAPI GetWindowLongA(HWND, int index)
{
    return index == GWL_STYLE ? fake::windowing.style : 0;
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG value)
{
    log_call("SetWindowLongA %p %d 0x%08X", as_pointer(window), index,
             static_cast<unsigned>(value));
    const LONG previous = GetWindowLongA(window, index);
    if (index == GWL_STYLE) {
        fake::windowing.style = value;
    }
    return previous;
}

BOOL WINAPI SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height,
                         UINT flags)
{
    log_call("SetWindowPos %p %p %d %d %d %d 0x%X", as_pointer(window), as_pointer(insert_after), x,
             y, width, height, flags);
    fake::windowing.rect = RECT{x, y, x + width, y + height};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND, RECT* rect)
{
    *rect = fake::windowing.rect;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND, RECT* rect)
{
    const RECT& outer = fake::windowing.rect;
    *rect = RECT{0, 0, outer.right - outer.left, outer.bottom - outer.top};
    return TRUE;
}

HMONITOR WINAPI MonitorFromWindow(HWND, DWORD)
{
    return reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x2000));
}

BOOL WINAPI GetMonitorInfoA(HMONITOR, MONITORINFO* info)
{
    info->rcMonitor = fake::windowing.monitor;
    info->rcWork = fake::windowing.monitor;
    info->dwFlags = 1;
    return TRUE;
}

int WINAPI ShowCursor(BOOL show)
{
    log_call("ShowCursor %d", show);
    fake::windowing.cursor_count += show ? 1 : -1;
    return fake::windowing.cursor_count;
}

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    log_call("MessageBoxA \"%s\" 0x%X", caption, type);
    fake::windowing.message_boxes.push_back(std::to_string(type) + ": " + text);
    return IDOK;
}

HGDIOBJ WINAPI GetStockObject(int)
{
    return nullptr;
}

int WINAPI FillRect(HDC, const RECT*, HBRUSH)
{
    events.push_back("FillRect");
    return 1;
}

// --- Direct3D 9 and D3DX ------------------------------------------------------

IDirect3D9* WINAPI Direct3DCreate9(UINT)
{
    if (fake::direct3d.create_returns_null) {
        return nullptr;
    }
    auto factory = std::make_unique<RecordingFactory>();
    factory->set_create_device_result(fake::direct3d.create_device_result);
    fake::direct3d.factory = factory.get();
    fake::factories.push_back(std::move(factory));
    return fake::direct3d.factory;
}

HRESULT WINAPI D3DXCreateTextureFromFileA(IDirect3DDevice9*, LPCSTR file,
                                          IDirect3DTexture9** texture)
{
    events.push_back(std::string("load ") + file);
    if (fake::d3dx.present_files.count(file) == 0) {
        *texture = nullptr;
        return D3DXERR_INVALIDDATA;
    }
    fake::textures.push_back(std::make_unique<RecordingTexture>(file));
    *texture = fake::textures.back().get();
    fake::d3dx.loaded.push_back(*texture);
    return D3D_OK;
}

// --- Audio ----------------------------------------------------------------

namespace {
int last_error = BASS_OK;
}

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window, const GUID* guid)
{
    log_call("BASS_Init %d %u 0x%X %p %p", device, freq, flags, as_pointer(window),
             static_cast<const void*>(guid));
    events.push_back("BASS_Init");
    last_error = fake::audio.init_result ? BASS_OK : fake::audio.init_error;
    return fake::audio.init_result;
}

BOOL BASS_Free()
{
    events.push_back("BASS_Free");
    ++fake::audio.free_calls;
    return TRUE;
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags)
{
    log_call("BASS_StreamCreateFile %d \"%s\" %llu %llu 0x%X", mem, static_cast<const char*>(file),
             static_cast<unsigned long long>(offset), static_cast<unsigned long long>(length),
             flags);
    last_error = fake::audio.stream_handle != 0 ? BASS_OK : fake::audio.stream_error;
    return fake::audio.stream_handle;
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    log_call("BASS_ChannelPlay %u %d", handle, restart);
    if (restart && fake::audio.playing && handle == fake::audio.stream_handle) {
        // From the start again, for as long as the first time.
        fake::audio.restart_tick = fake::audio.ticks - 1;
        ++fake::audio.restarts;
        return TRUE;
    }
    fake::audio.playing = handle != 0 && handle == fake::audio.stream_handle;
    return fake::audio.playing;
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode)
{
    log_call("BASS_ChannelSetPosition %u %llu %u", handle, static_cast<unsigned long long>(pos),
             mode);
    if (pos >= fake::audio.length) {
        return FALSE;
    }
    if (handle == 0 || handle != fake::audio.stream_handle) {
        return FALSE;
    }
    fake::audio.set_position = pos;
    return TRUE;
}

DWORD BASS_ChannelIsActive(DWORD handle)
{
    const int tick = fake::audio.ticks++;
    events.push_back("tick");
    if (fake::audio.on_tick) {
        fake::audio.on_tick(tick);
    }
    const bool active = fake::audio.playing && handle == fake::audio.stream_handle &&
                        tick - fake::audio.restart_tick < fake::audio.active_ticks;
    return active ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
}

QWORD BASS_ChannelGetPosition(DWORD, DWORD)
{
    return static_cast<QWORD>(fake::audio.ticks - 1 - fake::audio.restart_tick) *
           fake::audio.bytes_per_tick;
}

int BASS_ErrorGetCode()
{
    return last_error;
}

const char* audio_error_text(int code)
{
    switch (code) {
    case BASS_ERROR_FILEOPEN:
        return "the file cannot be opened";
    case BASS_ERROR_DRIVER:
        return "no audio driver";
    default:
        return "audio error";
    }
}
