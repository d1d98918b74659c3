// The audio library's one engine and the output device of ours behind it
// (SDL's on Linux, waveOut on Windows): what the two builds share around
// their own device code. Each build defines host_output(); host_engine()
// and host_output_queue_frames() (engine.h) are defined once, here.
#pragma once

#include <cstdint>

#include "host/common/audio/engine.h"

namespace audio {

// An output that plays the engine's buffers from a thread of its own.
class DeviceOutput : public Backend {
public:
    // The engine it feeds; set once, before the engine starts it.
    void attach(Engine& engine) { engine_ = &engine; }
    // The most frames the device holds handed but not yet heard; 0 while it
    // is closed.
    uint32_t queue_frames() const { return queue_frames_; }

protected:
    Engine* engine_ = nullptr;
    uint32_t queue_frames_ = 0;
};

// Defined by each build: its output, made on first use and kept until exit.
DeviceOutput& host_output();

}  // namespace audio
