// A scriptable stand-in for the windowing calls, the audio library and D3DX,
// so the application shell runs in-process against a recording device.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

// Everything the shell did, in order, as short lines ("dispatch 0x0400",
// "tick", "BASS_Free"...), for tests that check ordering.
extern std::vector<std::string> events;

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

    int ticks = 0;
    int free_calls = 0;
    QWORD set_position = ~QWORD{0};
    bool playing = false;
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
    IDirect3D9* factory = nullptr;  // the last factory handed out
};

extern Windowing windowing;
extern Audio audio;
extern D3dx d3dx;
extern Direct3D direct3d;

// Back to the defaults above; releases what the previous run left behind.
void reset();

// The handle CreateWindowExA returns.
HWND window_handle();

}  // namespace fake
