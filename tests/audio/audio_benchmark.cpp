// What the audio library costs: scanning and decoding a show-length (112 s)
// MP3 when the stream is made, one position reading per frame while it
// plays, and how steadily that reading moves (SDL's dummy driver, which
// takes a buffer every 23 ms in real time).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "host/common/audio/engine.h"
#include "host/common/audio/mpeg_stream.h"
#include "host/linux/audio/mpg123_decoder.h"
#include "platform/audio.h"
#include "tests/audio/line_fit.h"
#include "tests/audio/mp3_fixture.h"

namespace {

using namespace audio_test;

const std::vector<uint8_t>& show_length_mp3()
{
    static const std::vector<uint8_t> mp3 = encode_mp3(make_signal(44100, 2, 112.0));
    return mp3;
}

void BM_ScanMpegStream(benchmark::State& state)
{
    const auto& mp3 = show_length_mp3();
    for (auto _ : state) {
        benchmark::DoNotOptimize(audio::scan_mpeg_stream(mp3));
    }
}
BENCHMARK(BM_ScanMpegStream)->Unit(benchmark::kMicrosecond);

void BM_DecodeShowLengthMp3(benchmark::State& state)
{
    const auto& mp3 = show_length_mp3();
    for (auto _ : state) {
        benchmark::DoNotOptimize(audio::decode_mp3_mpg123(mp3, 44100));
    }
}
BENCHMARK(BM_DecodeShowLengthMp3)->Unit(benchmark::kMillisecond);

class PlayingStream {
public:
    PlayingStream()
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        const auto mp3 = encode_mp3(make_signal(44100, 2, 10.0));
        stream_ = BASS_StreamCreateFile(TRUE, mp3.data(), 0, mp3.size(), 0);
        BASS_ChannelPlay(stream_, FALSE);
    }
    ~PlayingStream() { BASS_Free(); }
    HSTREAM handle() const { return stream_; }

private:
    HSTREAM stream_ = 0;
};

void BM_GetPositionWhilePlaying(benchmark::State& state)
{
    PlayingStream playing;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BASS_ChannelGetPosition(playing.handle(), BASS_POS_BYTE));
    }
}
BENCHMARK(BM_GetPositionWhilePlaying);

// Readings every half millisecond for two seconds; the counters give the
// largest and the root-mean-square distance of a reading from the straight
// line through all of them, in milliseconds of music.
void BM_PositionJitter(benchmark::State& state)
{
    PlayingStream playing;
    using Clock = std::chrono::steady_clock;
    double largest = 0;
    double rms = 0;
    for (auto _ : state) {
        std::vector<double> times;
        std::vector<double> positions;
        const auto start = Clock::now();
        while (Clock::now() - start < std::chrono::seconds(2)) {
            const auto before = Clock::now();
            const QWORD position = BASS_ChannelGetPosition(playing.handle(), BASS_POS_BYTE);
            const auto after = Clock::now();
            // A reading during which this thread lost the processor has no
            // time to pair with; it measures the machine, not the clock.
            if (after - before < std::chrono::microseconds(100)) {
                times.push_back(std::chrono::duration<double>(before - start).count());
                positions.push_back(static_cast<double>(position) / (44100.0 * 4) * 1000.0);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        const double n = static_cast<double>(times.size());
        const LineFit fit = fit_line(times, positions);
        double squares = 0;
        for (size_t i = 0; i < times.size(); ++i) {
            const double distance = fit.distance(times[i], positions[i]);
            largest = std::max(largest, distance);
            squares += distance * distance;
        }
        rms = std::sqrt(squares / n);
        state.counters["readings"] = n;
    }
    state.counters["largest_ms"] = largest;
    state.counters["rms_ms"] = rms;
}
BENCHMARK(BM_PositionJitter)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
