#include "host/common/audio/clock.h"

#include <algorithm>

namespace audio {

uint64_t frames_in(Nanoseconds elapsed, uint32_t rate)
{
    if (elapsed <= 0) {
        return 0;
    }
    // Split into whole seconds and the rest so the product cannot overflow
    // however long the clock has run.
    constexpr Nanoseconds kSecond = 1'000'000'000;
    const auto seconds = static_cast<uint64_t>(elapsed / kSecond);
    const auto rest = static_cast<uint64_t>(elapsed % kSecond);
    return seconds * rate + rest * rate / kSecond;
}

void BufferClock::buffer_started(Nanoseconds now, uint64_t first, uint32_t frames)
{
    floor_ = heard(now);
    running_ = true;
    start_time_ = now;
    first_ = first;
    frames_ = frames;
}

void BufferClock::hold(Nanoseconds now)
{
    floor_ = heard(now);
    running_ = false;
}

uint64_t BufferClock::interpolated(Nanoseconds now) const
{
    return first_ + std::min<uint64_t>(frames_in(now - start_time_, rate_), frames_);
}

uint64_t BufferClock::heard(Nanoseconds now) const
{
    return running_ ? std::max(floor_, interpolated(now)) : floor_;
}

}  // namespace audio
