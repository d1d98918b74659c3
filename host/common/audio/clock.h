// The clocks behind a stream's position. Time is a monotonic count of
// nanoseconds handed in by the caller, so tests can drive the clocks by hand.
#pragma once

#include <cstdint>

namespace audio {

using Nanoseconds = int64_t;

// Frames that play in `elapsed` at `rate` Hz, rounded down; none for a
// negative span.
uint64_t frames_in(Nanoseconds elapsed, uint32_t rate);

// The output's clock: which output frame is being heard. An output takes
// audio a buffer at a time; this clock learns when each buffer begins to
// play and, between those moments, counts forward at the output rate from
// the buffer's first frame, stopping at its last. So the answer moves
// steadily rather than in buffer steps, stays within the buffer playing,
// and never goes backwards: a buffer that starts early makes the count jump
// ahead, one that starts late makes it wait.
class BufferClock {
public:
    explicit BufferClock(uint32_t rate) : rate_(rate) {}

    // The output began playing frames [first, first + frames) at `now`.
    void buffer_started(Nanoseconds now, uint64_t first, uint32_t frames);

    // The output dropped what it had queued: the count holds where it is
    // until the next buffer starts.
    void hold(Nanoseconds now);

    // The frame heard at `now`.
    uint64_t heard(Nanoseconds now) const;

private:
    uint64_t interpolated(Nanoseconds now) const;

    uint32_t rate_;
    bool running_ = false;
    Nanoseconds start_time_ = 0;
    uint64_t first_ = 0;
    uint32_t frames_ = 0;
    uint64_t floor_ = 0;  // the count reached before the current buffer
};

// A clock with no output behind it: frames counted from the moment it was
// set, at its rate. It drives silent playback.
class WallClock {
public:
    explicit WallClock(uint32_t rate) : rate_(rate) {}

    void set(Nanoseconds now, uint64_t frame)
    {
        origin_time_ = now;
        origin_frame_ = frame;
    }
    uint64_t frame_at(Nanoseconds now) const
    {
        return origin_frame_ + frames_in(now - origin_time_, rate_);
    }

private:
    uint32_t rate_;
    Nanoseconds origin_time_ = 0;
    uint64_t origin_frame_ = 0;
};

}  // namespace audio
