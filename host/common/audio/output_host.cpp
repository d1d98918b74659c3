#include "host/common/audio/output_host.h"

namespace audio {
namespace {

// The engine and the output it plays through. The output is made first
// (while the engine is made), so at exit the engine goes first and stops
// the output while it still stands.
struct Host {
    Host() { output.attach(engine); }
    DeviceOutput& output = host_output();
    Engine engine{output};
};

Host& host()
{
    static Host instance;
    return instance;
}

}  // namespace

Engine& host_engine()
{
    return host().engine;
}

uint32_t host_output_queue_frames()
{
    return host().output.queue_frames();
}

}  // namespace audio
