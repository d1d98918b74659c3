// A scriptable stand-in for the windowing calls, the audio library and D3DX,
// so the application shell runs in-process against a recording device.
#pragma once

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

// Everything the shell did, in order, as short lines ("dispatch 0x0400",
// "tick", "BASS_Free"...), for tests that check ordering.
extern std::vector<std::string> events;

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

    // The monitor, and the window's style and outer rectangle (the client
    // area is the whole rectangle, as on the Linux host).
    RECT monitor{0, 0, 1920, 1080};
    LONG style = 0;
    RECT rect{};
    int cursor_count = 0;
    std::vector<std::string> message_boxes;  // "type: text"
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
};

struct D3dx {
    std::set<std::string> present_files;  // the texture files that load
    std::vector<IDirect3DTexture9*> loaded;
};

struct Direct3D {
    bool create_returns_null = false;
    HRESULT create_device_result = D3D_OK;
    IDirect3D9* factory = nullptr;  // the last factory handed out
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
