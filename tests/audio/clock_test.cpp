#include "host/common/audio/clock.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using audio::BufferClock;
using audio::frames_in;
using audio::Nanoseconds;

constexpr Nanoseconds kMs = 1'000'000;
constexpr uint32_t kRate = 44100;
constexpr uint32_t kBuffer = 1024;

TEST(FramesIn, CountsWholeFramesWithoutOverflow)
{
    EXPECT_EQ(frames_in(1000 * kMs, kRate), 44100u);
    EXPECT_EQ(frames_in(10 * kMs, kRate), 441u);
    EXPECT_EQ(frames_in(22, kRate), 0u);  // less than a frame
    EXPECT_EQ(frames_in(-5 * kMs, kRate), 0u);
    // Thirty days of nanoseconds times the rate overflows 64 bits if multiplied directly.
    const Nanoseconds month = Nanoseconds{30} * 24 * 3600 * 1000 * kMs;
    EXPECT_EQ(frames_in(month, 192000), uint64_t{30} * 24 * 3600 * 192000);
}

TEST(BufferClock, CountsStepByStepWithinThePlayingBuffer)
{
    BufferClock clock(kRate);
    EXPECT_EQ(clock.heard(0), 0u);
    clock.buffer_started(100 * kMs, 2048, kBuffer);
    EXPECT_EQ(clock.heard(100 * kMs), 2048u);
    EXPECT_EQ(clock.heard(110 * kMs), 2048u + 441);
    EXPECT_EQ(clock.heard(120 * kMs), 2048u + 882);
    // It stops at the buffer's end until the next buffer starts.
    EXPECT_EQ(clock.heard(200 * kMs), 2048u + kBuffer);
}

TEST(BufferClock, AnEarlyBufferJumpsAheadALateOneWaits)
{
    BufferClock clock(kRate);
    clock.buffer_started(0, 0, kBuffer);
    const uint64_t before = clock.heard(20 * kMs);  // 882, short of the buffer's 1024
    clock.buffer_started(20 * kMs, kBuffer, kBuffer);
    EXPECT_EQ(before, 882u);
    EXPECT_EQ(clock.heard(20 * kMs), uint64_t{kBuffer});

    EXPECT_EQ(clock.heard(80 * kMs), 2u * kBuffer);  // waits at the end
    clock.buffer_started(80 * kMs, 2 * kBuffer, kBuffer);
    EXPECT_EQ(clock.heard(81 * kMs), 2u * kBuffer + 44);
}

TEST(BufferClock, NeverGoesBackEvenWhenABufferRestartsEarlier)
{
    BufferClock clock(kRate);
    clock.buffer_started(0, 5000, kBuffer);
    const uint64_t reached = clock.heard(10 * kMs);
    clock.buffer_started(10 * kMs, 4000, kBuffer);  // an output that misreports
    EXPECT_EQ(clock.heard(10 * kMs), reached);
    EXPECT_GE(clock.heard(30 * kMs), reached);
}

TEST(BufferClock, HoldsWhereItIsWhenTheQueueIsDropped)
{
    BufferClock clock(kRate);
    clock.buffer_started(0, 0, kBuffer);
    clock.hold(10 * kMs);
    EXPECT_EQ(clock.heard(10 * kMs), 441u);
    EXPECT_EQ(clock.heard(500 * kMs), 441u);
    clock.buffer_started(500 * kMs, 8192, kBuffer);
    EXPECT_EQ(clock.heard(510 * kMs), 8192u + 441);
}

// Buffers that start with jitter around their nominal times, and readings
// taken at random moments: every reading lies within the buffer last started
// (or at the point already reached) and no reading is lower than the one before.
TEST(BufferClock, StaysMonotonicAndWithinOneBufferUnderJitter)
{
    std::mt19937 random(1234);
    std::uniform_int_distribution<Nanoseconds> jitter(-3 * kMs, 3 * kMs);
    std::uniform_int_distribution<Nanoseconds> step(0, 4 * kMs);
    const Nanoseconds period = Nanoseconds{kBuffer} * 1000 * kMs / kRate;

    BufferClock clock(kRate);
    uint64_t last = 0;
    Nanoseconds now = 0;
    for (uint64_t buffer = 0; buffer < 400; ++buffer) {
        const Nanoseconds start =
            std::max(now, static_cast<Nanoseconds>(buffer) * period + jitter(random));
        const uint64_t first = buffer * kBuffer;
        clock.buffer_started(start, first, kBuffer);
        now = start;
        const Nanoseconds next = static_cast<Nanoseconds>(buffer + 1) * period;
        while (now < next) {
            const uint64_t heard = clock.heard(now);
            ASSERT_GE(heard, last);
            ASSERT_GE(heard, first);
            ASSERT_LE(heard, first + kBuffer);
            last = heard;
            now += step(random);
        }
    }
}

TEST(WallClock, CountsFromWhereItWasSet)
{
    audio::WallClock clock(48000);
    clock.set(7 * kMs, 1000);
    EXPECT_EQ(clock.frame_at(7 * kMs), 1000u);
    EXPECT_EQ(clock.frame_at(507 * kMs), 1000u + 24000);
    EXPECT_EQ(clock.frame_at(0), 1000u);  // before it was set
}

}  // namespace
