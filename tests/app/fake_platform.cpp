#include "tests/app/fake_platform.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "host/recording/recording_device.h"

namespace fake {

std::vector<std::string> events;
std::vector<size_t> device_calls_at_event;
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

void note(std::string event)
{
    auto* factory = static_cast<RecordingFactory*>(direct3d.factory);
    const bool has_device = factory != nullptr && factory->device_count() > 0;
    events.push_back(std::move(event));
    device_calls_at_event.push_back(has_device ? factory->device(0)->calls().size() : 0);
}

// Logs every release that lets the object go.
void note_last_release(ReferenceCount& references, std::string name)
{
    references.set_on_release([name = std::move(name)](ULONG count) {
        if (count == 0) {
            note("release " + name);
        }
    });
}

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
    device_calls_at_event.clear();
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

using fake::log_call;
using fake::note;

namespace {

const void* as_pointer(HWND window)
{
    return static_cast<const void*>(window);
}

}  // namespace

// --- Windowing ---------------------------------------------------------------

HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    fake::windowing.module_name_given.push_back(name != nullptr);
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
    fake::windowing.window_class = *window_class;
    fake::windowing.class_name =
        window_class->lpszClassName != nullptr ? window_class->lpszClassName : "";
    note("RegisterClassExA");
    return 1;
}

BOOL WINAPI UnregisterClassA(LPCSTR class_name, HINSTANCE instance)
{
    fake::windowing.class_registered = false;
    fake::windowing.unregistered_class = class_name != nullptr ? class_name : "";
    fake::windowing.unregistered_instance = instance;
    note("UnregisterClassA");
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param)
{
    log_call("CreateWindowExA 0x%08X \"%s\" \"%s\" 0x%08X %d %d %d %d %p %p %p %p", ex_style,
             class_name, title, style, x, y, width, height, as_pointer(parent),
             static_cast<void*>(menu), static_cast<void*>(instance), param);
    fake::windowing.style = static_cast<LONG_PTR>(style);
    fake::windowing.rect = RECT{x, y, x + width, y + height};
    fake::windowing.window_created = true;
    fake::windowing.created = {ex_style,
                               class_name != nullptr ? class_name : "",
                               title != nullptr ? title : "",
                               style,
                               x,
                               y,
                               width,
                               height,
                               parent,
                               menu,
                               instance,
                               param};
    note("CreateWindowExA");
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
    fake::windowing.style |= LONG_PTR{WS_VISIBLE};
    fake::windowing.window_shown = true;
    fake::windowing.show_calls.emplace_back(window, show_command);
    note("ShowWindow");
    if (fake::windowing.on_show) {
        fake::windowing.on_show();
    }
    return FALSE;
}

BOOL WINAPI UpdateWindow(HWND window)
{
    log_call("UpdateWindow %p", as_pointer(window));
    fake::windowing.update_calls.push_back(window);
    note("UpdateWindow");
    return TRUE;
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove)
{
    fake::windowing.peeks.push_back({window, filter_min, filter_max, remove});
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
    note(fake::hex_message("dispatch", msg->message));
    if (msg->hwnd == nullptr || msg->message == WM_QUIT) {
        return 0;
    }
    return fake::windowing.window_proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    note(fake::hex_message("post", message));
    fake::windowing.posted.push_back(MSG{window, message, wparam, lparam, 0, {0, 0}});
    fake::windowing.queue.push_back(MSG{window, message, wparam, lparam, 0, {0, 0}});
    return TRUE;
}

void WINAPI PostQuitMessage(int exit_code)
{
    fake::windowing.quit_codes.push_back(exit_code);
    note("PostQuitMessage");
    fake::windowing.queue.push_back(
        MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exit_code), 0, 0, {0, 0}});
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM)
{
    note(fake::hex_message("default", message));
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    }
    return 0;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND, int index)
{
    return index == GWL_STYLE ? fake::windowing.style : 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value)
{
    log_call("SetWindowLongPtrA %p %d 0x%08X", as_pointer(window), index,
             static_cast<unsigned>(value));
    const LONG_PTR previous = GetWindowLongPtrA(window, index);
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

namespace {

// The frame a window of the style has, as Windows draws it: none for a
// popup window.
RECT frame_of(LONG_PTR style)
{
    return (style & WS_POPUP) != 0 ? RECT{} : fake::windowing.frame;
}

}  // namespace

BOOL WINAPI AdjustWindowRect(RECT* rect, DWORD style, BOOL)
{
    const RECT frame = frame_of(static_cast<LONG_PTR>(style));
    *rect = RECT{rect->left - frame.left, rect->top - frame.top, rect->right + frame.right,
                 rect->bottom + frame.bottom};
    return TRUE;
}

BOOL WINAPI SetWindowTextW(HWND window, LPCWSTR text)
{
    // The titles the shell sets are ASCII but for the em dash.
    std::string utf8;
    for (const WCHAR* c = text; *c != L'\0'; ++c) {
        utf8 += *c == L'\u2014' ? "\u2014" : std::string(1, static_cast<char>(*c));
    }
    fake::windowing.titles.push_back(utf8);
    log_call("SetWindowTextW %p \"%s\"", as_pointer(window), utf8.c_str());
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND, RECT* rect)
{
    const RECT& outer = fake::windowing.rect;
    const RECT frame = frame_of(fake::windowing.style);
    *rect = RECT{0, 0, std::max<LONG>(outer.right - outer.left - frame.left - frame.right, 0),
                 std::max<LONG>(outer.bottom - outer.top - frame.top - frame.bottom, 0)};
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

// --- Direct3D 9 and D3DX ------------------------------------------------------

IDirect3D9* WINAPI Direct3DCreate9(UINT sdk_version)
{
    fake::direct3d.sdk_versions.push_back(sdk_version);
    note("Direct3DCreate9");
    if (fake::direct3d.create_returns_null) {
        return nullptr;
    }
    auto factory = std::make_unique<RecordingFactory>();
    factory->set_create_device_result(fake::direct3d.create_device_result);
    fake::note_last_release(factory->references(), "factory");
    factory->set_on_create_device([](RecordingDevice& device) {
        fake::note("CreateDevice");
        fake::note_last_release(device.references(), "device");
        if (fake::direct3d.on_device) {
            fake::direct3d.on_device(device);
        }
    });
    fake::direct3d.factory = factory.get();
    fake::factories.push_back(std::move(factory));
    return fake::direct3d.factory;
}

HRESULT WINAPI D3DXCreateTextureFromFileA(IDirect3DDevice9*, LPCSTR file,
                                          IDirect3DTexture9** texture)
{
    note(std::string("load ") + file);
    if (fake::d3dx.present_files.count(file) == 0) {
        *texture = nullptr;
        return D3DXERR_INVALIDDATA;
    }
    fake::textures.push_back(std::make_unique<RecordingTexture>(file));
    fake::note_last_release(fake::textures.back()->references(), file);
    *texture = fake::textures.back().get();
    fake::d3dx.loaded.push_back(*texture);
    return D3D_OK;
}

const char* input_file_refusal(const char* path)
{
    const auto found = fake::d3dx.not_files.find(path);
    return found != fake::d3dx.not_files.end() ? found->second.c_str() : nullptr;
}

// --- Audio ----------------------------------------------------------------

namespace {
int last_error = BASS_OK;
}

BOOL BASS_Init(int device, DWORD frequency, DWORD flags, HWND window, const GUID* class_id)
{
    fake::audio.inits.push_back({device, frequency, flags, window, class_id});
    log_call("BASS_Init %d %u 0x%X %p %p", device, frequency, flags, as_pointer(window),
             static_cast<const void*>(class_id));
    note("BASS_Init");
    last_error = fake::audio.init_result ? BASS_OK : fake::audio.init_error;
    return fake::audio.init_result;
}

BOOL BASS_Free()
{
    note("BASS_Free");
    ++fake::audio.free_calls;
    return TRUE;
}

HSTREAM BASS_StreamCreateFile(BOOL memory, const void* file, QWORD offset, QWORD length,
                              DWORD flags)
{
    // With memory FALSE the file is a name.
    fake::audio.streams.push_back(
        {memory, memory == FALSE && file != nullptr ? static_cast<const char*>(file) : "", offset,
         length, flags});
    log_call("BASS_StreamCreateFile %d \"%s\" %llu %llu 0x%X", memory,
             static_cast<const char*>(file), static_cast<unsigned long long>(offset),
             static_cast<unsigned long long>(length), flags);
    note("BASS_StreamCreateFile");
    last_error = fake::audio.stream_handle != 0 ? BASS_OK : fake::audio.stream_error;
    return fake::audio.stream_handle;
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    fake::audio.plays.emplace_back(handle, restart);
    note("BASS_ChannelPlay");
    log_call("BASS_ChannelPlay %u %d", handle, restart);
    if (restart && fake::audio.playing && handle == fake::audio.stream_handle) {
        // From the start again, for as long as the first time.
        fake::audio.restart_tick = fake::audio.ticks - 1;
        ++fake::audio.restarts;
        return TRUE;
    }
    fake::audio.playing = handle != 0 && handle == fake::audio.stream_handle;
    fake::audio.paused = false;
    return fake::audio.playing;
}

BOOL BASS_ChannelPause(DWORD handle)
{
    note("BASS_ChannelPause");
    log_call("BASS_ChannelPause %u", handle);
    if (!fake::audio.playing || fake::audio.paused || handle != fake::audio.stream_handle) {
        return FALSE;
    }
    fake::audio.paused = true;
    return TRUE;
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode)
{
    fake::audio.set_position_calls.emplace_back(handle, mode);
    note("BASS_ChannelSetPosition");
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
    note("tick");
    if (fake::audio.on_tick) {
        fake::audio.on_tick(tick);
    }
    const bool active = fake::audio.playing && handle == fake::audio.stream_handle &&
                        tick - fake::audio.restart_tick < fake::audio.active_ticks;
    if (active && fake::audio.paused) {
        return BASS_ACTIVE_PAUSED;
    }
    return active ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
}

QWORD BASS_ChannelGetPosition(DWORD, DWORD mode)
{
    fake::audio.position_queries.push_back(mode);
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
