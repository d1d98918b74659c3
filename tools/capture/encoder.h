// An ffmpeg process that takes raw RGBA frames on a pipe and writes an H.264
// MP4 with the music. Frames are written by a thread of their own, so the
// next frame renders while ffmpeg takes the last one.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace capture {

struct EncoderSettings {
    std::string output;  // written as MP4 whatever its name
    std::string audio;   // a WAV file muxed as AAC
    uint32_t width = 0;
    uint32_t height = 0;
    int fps = 60;
};

class Encoder {
public:
    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder();

    // Starts ffmpeg. False with a reason when it cannot be run.
    bool start(const EncoderSettings& settings, std::string& error);

    // Hands over one frame (width x height x 4 bytes, top row first) and
    // returns a buffer for the next one. Waits while the writer is still busy
    // with the frame before. False once ffmpeg has stopped taking frames.
    bool submit(std::vector<uint8_t>& frame);

    // Ends the input and waits for ffmpeg. False with ffmpeg's own words
    // when it failed.
    bool finish(std::string& error);

    // Stops ffmpeg at once (its output is then incomplete).
    void abort();

private:
    void writer_loop();
    void stop_writer();
    std::string log_tail() const;

    pid_t pid_ = -1;
    int pipe_fd_ = -1;
    std::string log_path_;

    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint8_t> pending_;
    bool has_pending_ = false;
    bool closing_ = false;
    bool broken_ = false;
};

}  // namespace capture
