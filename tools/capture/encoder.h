// An ffmpeg process that takes raw frames on a pipe and writes an H.264 MP4
// with the music. Frames are handed over as RGBA; a thread of its own turns
// each into 4:2:0 YUV and writes it, so the next frame renders while the
// last one is converted and taken by ffmpeg.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/capture/yuv.h"

namespace capture {

// The x264 preset when none is asked for. At the same quality setting
// (CRF 20) the faster presets spend more bits and keep the picture as close
// or closer to the rendered frames, for far fewer cycles: at 960 x 544,
// ultrafast takes 4.7 ms of CPU a frame for 39.6 dB (PSNR in RGB against
// the frames) at 12 Mbit/s, veryfast 13.9 ms for 37.7 dB at 4.9 Mbit/s
// (measured). Rendering already takes most of the machine, so the speed is
// worth the larger file; --preset chooses otherwise.
inline constexpr const char* kDefaultPreset = "ultrafast";

// The processor time the encoding took, for the frames handed over: the
// ffmpeg process's (x264, the muxer and the audio encoder, user and system)
// and the writer thread's YUV conversion.
struct EncoderCpu {
    int64_t frames = 0;
    double ffmpeg_seconds = 0;
    double conversion_seconds = 0;
};

struct EncoderSettings {
    std::string output;  // written as MP4 whatever its name
    std::string audio;   // a WAV file muxed as AAC
    uint32_t width = 0;
    uint32_t height = 0;
    int fps = 60;
    RowOrder rows = RowOrder::top_first;  // of the frames handed to submit
    std::string preset = kDefaultPreset;  // x264's speed and size trade-off
};

class Encoder {
public:
    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder();

    // Starts ffmpeg. False with a reason when it cannot be run.
    bool start(const EncoderSettings& settings, std::string& error);

    // Hands over one frame (width x height x 4 bytes, rows in the order the
    // settings name) and returns a buffer for the next one. Waits while the writer is still busy
    // with the frame before. False once ffmpeg has stopped taking frames.
    bool submit(std::vector<uint8_t>& frame);

    // Ends the input and waits for ffmpeg. False with ffmpeg's own words
    // when it failed.
    bool finish(std::string& error);

    // Stops ffmpeg at once (its output is then incomplete).
    void abort();

    // The processor time spent so far; ffmpeg's once finish() has waited for it.
    EncoderCpu cpu() const;

private:
    void writer_loop();
    void stop_writer();
    std::string log_tail() const;

    uint32_t width_ = 0;
    uint32_t height_ = 0;
    RowOrder rows_ = RowOrder::top_first;
    pid_t pid_ = -1;
    int pipe_fd_ = -1;
    std::string log_path_;

    std::thread writer_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint8_t> pending_;
    bool has_pending_ = false;
    bool closing_ = false;
    bool broken_ = false;
    EncoderCpu cpu_;  // frames and conversion under mutex_; ffmpeg's set by finish()
};

}  // namespace capture
