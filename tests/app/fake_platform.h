// A scriptable stand-in for the windowing calls, the audio library and D3DX,
// so the application shell runs in-process against a recording device.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

class RecordingDevice;

namespace fake {

// Everything the shell did, in order, as short lines ("CreateWindowExA",
// "load tree.dds", "dispatch 0x0400", "tick", "release device"...), for
// tests that check ordering.
extern std::vector<std::string> events;
// For each event, how many calls the device had received by then (0 before
// there is a device).
extern std::vector<size_t> device_calls_at_event;

struct CreateWindowArgs {
    DWORD ex_style = 0;
    std::string class_name;
    std::string title;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
};

struct PeekArgs {
    HWND window;
    UINT filter_min;
    UINT filter_max;
    UINT remove;
    bool operator==(const PeekArgs&) const = default;
};

// The windowing and audio calls with their arguments, one a line, in order
// ("CreateWindowExA 0x00000000 \"PSP GUM\" ..."), for tests that check what
// the shell asked of the platform.
extern std::vector<std::string> calls;

struct Windowing {
    std::deque<MSG> queue;
    WNDPROC window_proc = nullptr;
    bool class_registered = false;
    bool window_created = false;
    bool window_shown = false;
    bool window_destroyed = false;
    int destroy_messages_sent = 0;
    // Called by ShowWindow, e.g. to queue messages before the loop starts.
    std::function<void()> on_show;

    // The arguments the shell passed.
    std::vector<bool> module_name_given;  // per GetModuleHandleA call
    WNDCLASSEXA window_class{};
    std::string class_name;  // window_class.lpszClassName, copied
    CreateWindowArgs created;
    std::vector<std::pair<HWND, int>> show_calls;
    std::vector<HWND> update_calls;
    std::vector<PeekArgs> peeks;
    std::vector<MSG> posted;  // PostMessageA, in order
    std::vector<int> quit_codes;
    std::string unregistered_class;
    HINSTANCE unregistered_instance = nullptr;

    // The monitor, and the window's style and outer rectangle. A framed
    // window's client area is its rectangle less the frame's widths (left,
    // top, right, bottom), as on Windows; a frame of zeros is the Linux
    // host, whose windows' frames are the window manager's, outside.
    RECT monitor{0, 0, 1920, 1080};
    LONG_PTR style = 0;
    RECT rect{};
    RECT frame{8, 31, 8, 8};
    int cursor_count = 0;
    std::vector<std::string> message_boxes;  // "type: text"
    std::vector<std::string> titles;         // SetWindowTextW, in UTF-8
};

struct InitArgs {
    int device;
    DWORD frequency;
    DWORD flags;
    HWND window;
    const GUID* class_id;
};

struct StreamArgs {
    BOOL memory;
    std::string file;
    QWORD offset;
    QWORD length;
    DWORD flags;
};

struct Audio {
    BOOL init_result = TRUE;
    int init_error = BASS_ERROR_DRIVER;
    HSTREAM stream_handle = 7;  // 0 makes BASS_StreamCreateFile fail
    int stream_error = BASS_ERROR_FILEOPEN;
    // The channel plays for this many activity queries, then reports stopped.
    int active_ticks = 3;
    QWORD bytes_per_tick = 100000;
    // Called with the tick number at every activity query.
    std::function<void(int)> on_tick;

    // Positions from here on cannot be set (the music's decoded length).
    QWORD length = ~QWORD{0};

    int ticks = 0;
    int restarts = 0;      // BASS_ChannelPlay with restart on a playing channel
    int restart_tick = 0;  // the tick at which the channel last started
    int free_calls = 0;
    QWORD set_position = ~QWORD{0};
    bool playing = false;
    bool paused = false;  // between BASS_ChannelPause and BASS_ChannelPlay

    // The arguments the shell passed.
    std::vector<InitArgs> inits;
    std::vector<StreamArgs> streams;
    std::vector<std::pair<DWORD, BOOL>> plays;                // handle, restart
    std::vector<std::pair<DWORD, DWORD>> set_position_calls;  // handle, mode
    std::vector<DWORD> position_queries;                      // mode of each query
};

struct D3dx {
    std::set<std::string> present_files;  // the texture files that load
    // Names that are no files at all, with input_file_refusal's answer.
    std::map<std::string, std::string> not_files;
    std::vector<IDirect3DTexture9*> loaded;
};

struct Direct3D {
    bool create_returns_null = false;
    HRESULT create_device_result = D3D_OK;
    IDirect3D9* factory = nullptr;   // the last factory handed out
    std::vector<UINT> sdk_versions;  // per Direct3DCreate9 call
    // Called with every device made, e.g. to set the results of its calls.
    std::function<void(RecordingDevice&)> on_device;
};

extern Windowing windowing;
extern Audio audio;
extern D3dx d3dx;
extern Direct3D direct3d;

// Adds a line to calls.
void log_call(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Back to the defaults above; releases what the previous run left behind.
void reset();

// The handle CreateWindowExA returns.
HWND window_handle();

}  // namespace fake
