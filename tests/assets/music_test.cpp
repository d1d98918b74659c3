// The track as the demo hears it: decoded by libmpg123 from the generated
// demo.mp3, checked for its length, its alignment, its beat grid and the
// shape of its sections.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <numeric>

#include "asset_files.h"
#include "mp3_encoder.h"
#include "output_file.h"
#include "score.h"
#include "song.h"

namespace {

using asset_test::decode_mp3;
using asset_test::Decoded;
using namespace assets;

const Decoded& track()
{
    static const Decoded decoded = decode_mp3(asset_test::built_asset("demo.mp3"));
    return decoded;
}

std::vector<float> mono(const Decoded& d)
{
    std::vector<float> out(d.frames());
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = (static_cast<float>(d.samples[2 * i]) + static_cast<float>(d.samples[2 * i + 1])) /
                 65536.0f;
    }
    return out;
}

// Power of one band at each frame: the low band (below ~400 Hz) is where the
// kick lives, the high band (above ~6 kHz) the hats.
enum class Band { Low, High };

// Four one-pole sections: 24 dB per octave outside the band.
std::vector<float> band_power(const std::vector<float>& x, Band band)
{
    const float hz = band == Band::Low ? 400.0f : 6000.0f;
    const float a = 1.0f - std::exp(-2.0f * 3.14159265f * hz / 44100.0f);
    std::vector<float> y = x;
    for (int stage = 0; stage < 4; ++stage) {
        float low = 0.0f;
        for (float& v : y) {
            low += a * (v - low);
            v = band == Band::Low ? low : v - low;
        }
    }
    for (float& v : y) {
        v *= v;
    }
    return y;
}

// Energy of the `window` frames that start at each frame. A low note needs a
// window of about a period before its energy stops rippling with the wave.
std::vector<float> energy_ahead(const std::vector<float>& power, size_t window)
{
    std::vector<float> out(power.size());
    double sum = 0.0;
    for (size_t i = power.size(); i-- > 0;) {
        sum += power[i];
        if (i + window < power.size()) {
            sum -= power[i + window];
        }
        out[i] = static_cast<float>(sum);
    }
    return out;
}

double mean_power(const std::vector<float>& p, int64_t from, int64_t to)
{
    double sum = 0.0;
    for (int64_t i = from; i < to; ++i) {
        sum += p[static_cast<size_t>(i)];
    }
    return sum / static_cast<double>(to - from);
}

double rms_db(const Decoded& d, int64_t from, int64_t to)
{
    double sum = 0.0;
    for (int64_t i = 2 * from; i < 2 * to; ++i) {
        const double s = d.samples[static_cast<size_t>(i)] / 32768.0;
        sum += s * s;
    }
    return 10.0 * std::log10(sum / static_cast<double>(2 * (to - from)) + 1e-30);
}

constexpr int64_t kSixteenth = kBeatFrames / 4;

TEST(Track, DecodesToExactlyTheSynthesizedLength)
{
    const Decoded& d = track();
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.frames(), static_cast<size_t>(kTrackFrames));
    // The show ends a few seconds after scene 5 has faded to black at its beat 37.
    const double seconds_after_fade =
        static_cast<double>(kTrackFrames - kSilentFromFrame) / kSampleRate;
    EXPECT_GT(seconds_after_fade, 1.0);
    EXPECT_LT(seconds_after_fade, 5.0);
}

TEST(Track, NeverClips)
{
    const Decoded& d = track();
    const auto [lo, hi] = std::minmax_element(d.samples.begin(), d.samples.end());
    EXPECT_GT(*lo, -32000);
    EXPECT_LT(*hi, 32000);
}

// The 20 ms of the kick's low-frequency burst with the most energy start
// within a few milliseconds of every beat of the scene's own grid. Scenes 3 and 4 start 28 and 50
// ms off the grid of scene 1, so a single grid for the whole track would fail here.
TEST(Track, KickLandsOnTheBeatGridOfEachDanceScene)
{
    const std::vector<float> low = energy_ahead(band_power(mono(track()), Band::Low), 882);
    constexpr int64_t kTolerance = 441;  // 10 ms
    for (int scene = 2; scene <= 4; ++scene) {
        for (int beat = 1; beat <= 40; ++beat) {
            const int64_t centre = frame_at(scene, beat);
            const auto from = low.begin() + (centre - kBeatFrames / 4);
            const auto to = low.begin() + (centre + kBeatFrames / 4);
            const int64_t peak = std::max_element(from, to) - low.begin();
            EXPECT_LE(std::abs(peak - centre), kTolerance)
                << "scene " << scene << " beat " << beat << ": peak " << (peak - centre)
                << " frames from the beat";
        }
    }
}

// How sharply the high band rises at a sixteenth: power just after it over
// power just before it.
double hat_onset(const std::vector<float>& high, int64_t at)
{
    constexpr int64_t kSpan = 882;  // 20 ms
    return mean_power(high, at, at + kSpan) / (mean_power(high, at - kSpan, at) + 1e-12);
}

double median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + static_cast<ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Scene 2's leaves pulse four times a beat from music byte 8464681 (its beat
// 24). The music moves to sixteenths there: before, the second and fourth
// sixteenth of a beat bring nothing new in the hats' band; after, each starts
// a hit.
TEST(Track, SixteenthPulseStartsAtBeat24OfScene2)
{
    const std::vector<float> high = band_power(mono(track()), Band::High);
    auto onsets = [&](int from_beat, int to_beat) {
        std::vector<double> ratios;
        for (int beat = from_beat; beat < to_beat; ++beat) {
            ratios.push_back(hat_onset(high, frame_at(2, beat + 0.25)));
            ratios.push_back(hat_onset(high, frame_at(2, beat + 0.75)));
        }
        return median(ratios);
    };
    const double before = onsets(8, 24);
    const double after = onsets(24, 41);
    std::cout << "hat onsets on the 2nd and 4th sixteenth: " << before << " before, " << after
              << " after\n";
    EXPECT_LT(before, 1.2);
    EXPECT_GT(after, 2.5);
    // The leaves start at byte 8464681, 18 ms into beat 24.
    const int64_t leaves = 8464681 / kBytesPerFrame;
    EXPECT_GT(leaves, frame_at(2, 24.0));
    EXPECT_LT(leaves, frame_at(2, 24.0) + kSixteenth / 4);
}

TEST(Track, Scene5SwellsToItsLoudestAtBeats31To32ThenFallsSilentByBeat37)
{
    const Decoded& d = track();
    double loudest = -1000.0;
    int loudest_beat = -1;
    for (int beat = 20; beat < 37; ++beat) {
        const double level = rms_db(d, frame_at(5, beat), frame_at(5, beat + 1));
        if (level > loudest) {
            loudest = level;
            loudest_beat = beat;
        }
    }
    EXPECT_TRUE(loudest_beat == 31 || loudest_beat == 32) << "loudest beat " << loudest_beat;
    // The picture's brightness falls linearly from beat 32 to 0 at 37; the
    // sound follows.
    double previous = loudest;
    for (int beat = 33; beat < 37; ++beat) {
        const double level = rms_db(d, frame_at(5, beat), frame_at(5, beat + 1));
        std::cout << "scene 5 beat " << beat << ": " << level << " dB\n";
        EXPECT_LT(level, previous - 2.0) << "beat " << beat;
        previous = level;
    }
    EXPECT_LT(previous, loudest - 30.0);
    const auto silent_from = d.samples.begin() + 2 * (kSilentFromFrame + kSixteenth);
    const auto [lo, hi] = std::minmax_element(silent_from, d.samples.end());
    EXPECT_GE(*lo, -4);
    EXPECT_LE(*hi, 4);
}

TEST(Track, IntroBuildsFromQuietToTheGrooveLevel)
{
    const Decoded& d = track();
    const double intro = rms_db(d, frame_at(1, 0), frame_at(1, 24));
    const double built = rms_db(d, frame_at(1, 64), frame_at(1, 86));
    const double groove = rms_db(d, frame_at(2, 0), frame_at(2, 40));
    EXPECT_LT(intro, groove - 4.0);
    EXPECT_GT(built, intro + 3.0);
    for (int scene = 2; scene <= 4; ++scene) {
        const double level = rms_db(d, frame_at(scene, 0), frame_at(scene, 40));
        EXPECT_GT(level, -22.0) << "scene " << scene;
        EXPECT_LT(level, -10.0) << "scene " << scene;
    }
}

// ------------------------------------------------ synthesis and encoding ----

TEST(Synthesis, AShortRenderIsTheStartOfALongerOne)
{
    const int64_t short_frames = 2 * kSampleRate;
    const std::vector<int16_t> a = render_song(short_frames);
    const std::vector<int16_t> b = render_song(2 * short_frames);
    ASSERT_EQ(a.size(), static_cast<size_t>(2 * short_frames));
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin()));

    const std::vector<int16_t> faded = render_short_track(short_frames);
    const auto unfaded = static_cast<ptrdiff_t>(2 * (short_frames - kShortTrackFadeFrames));
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + unfaded, faded.begin()));
    EXPECT_EQ(faded.back(), 0);
    EXPECT_EQ(faded[faded.size() - 2], 0);
}

TEST(Synthesis, RejectsLengthsOutsideTheTrack)
{
    EXPECT_THROW(render_song(-1), std::invalid_argument);
    EXPECT_THROW(render_song(kTrackFrames + 1), std::invalid_argument);
}

// libmpg123 trims the encoder's delay and padding using the LAME tag, so the
// decoded samples line up with the synthesized ones from sample 0.
TEST(Encoding, DecodedAudioLinesUpWithTheSynthesisAtSampleZero)
{
    const int64_t frames = 3 * kSampleRate;
    const std::vector<int16_t> pcm = render_short_track(frames);
    const asset_test::ScratchDir scratch("aligned");
    const std::filesystem::path file = scratch.path() / "aligned.mp3";
    write_file_atomically(file, encode_mp3(pcm));
    const Decoded d = decode_mp3(file);
    ASSERT_EQ(d.frames(), static_cast<size_t>(frames));

    // Compare the left channels over the second second at lags around 0; the
    // encoder delay alone is over 1000 frames, so a missing trim shows.
    auto correlation = [&](int lag) {
        double sum = 0.0;
        for (int64_t i = kSampleRate; i < 2 * kSampleRate; ++i) {
            sum += static_cast<double>(pcm[static_cast<size_t>(2 * i)]) *
                   d.samples[static_cast<size_t>(2 * (i + lag))];
        }
        return sum;
    };
    int best = 0;
    double best_value = correlation(0);
    for (int lag = -1500; lag <= 1500; lag += 1) {
        const double c = correlation(lag);
        if (c > best_value) {
            best_value = c;
            best = lag;
        }
    }
    EXPECT_EQ(best, 0);

    double signal = 0.0;
    double error = 0.0;
    for (size_t i = 0; i < pcm.size(); ++i) {
        const double s = pcm[i];
        signal += s * s;
        error += (s - d.samples[i]) * (s - d.samples[i]);
    }
    // Perceptual coding keeps the waveform only roughly; a shift of even one
    // frame would cost most of this.
    EXPECT_GT(10.0 * std::log10(signal / error), 12.0);
}

TEST(Encoding, WritesConstantBitRateWithAnInfoTagInTheFirstFrame)
{
    const std::vector<int16_t> pcm(2 * 11025, 0);
    const std::vector<uint8_t> mp3 = encode_mp3(pcm);
    ASSERT_GT(mp3.size(), 200u);
    // MPEG-1 Layer III frame sync, 192 kbit/s (index 11), 44.1 kHz (index 0).
    EXPECT_EQ(mp3[0], 0xFF);
    EXPECT_EQ(mp3[1] & 0xFE, 0xFA);
    EXPECT_EQ(mp3[2] >> 4, 11);
    EXPECT_EQ((mp3[2] >> 2) & 3, 0);
    // The tag of a constant-bit-rate LAME stream is named "Info".
    const std::string head(mp3.begin(), mp3.begin() + 200);
    EXPECT_NE(head.find("Info"), std::string::npos);
    EXPECT_NE(head.find("LAME"), std::string::npos);
}

}  // namespace
