// The audio library's one engine and the output device of ours behind it
// (SDL's on Linux, waveOut on Windows): what the two builds share around
// their own device code. Each build defines host_output; host_engine()
// and host_output_queue_frames() (engine.h) are defined once, in
// output_host.cpp.
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

// An output of type Output, made on first use and kept until exit.
template <class Output>
DeviceOutput& lasting_output()
{
    static Output output;
    return output;
}

// Defined by each build: lasting_output of its own output.
extern DeviceOutput& (*const host_output)();

}  // namespace audio
