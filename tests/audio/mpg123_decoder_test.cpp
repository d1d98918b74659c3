// The Linux decoder against what was encoded: libmpg123's gapless decoding
// returns the original length and alignment, and the MPEG scan predicts that
// length from the LAME tag alone, which is how the Windows decoder trims.
#include "host/linux/audio/mpg123_decoder.h"

#include <gtest/gtest.h>

#include "host/common/audio/mpeg_stream.h"
#include "tests/audio/mp3_fixture.h"
#include "tests/audio/mpeg_frames.h"

namespace {

using namespace audio_test;

struct Encoding {
    const char* name;
    uint32_t rate;
    int channels;
    Mp3Options options;
};

const Encoding kEncodings[] = {
    {"128 kbit/s stereo", 44100, 2, {}},
    {"VBR stereo", 44100, 2, {.vbr = true}},
    {"64 kbit/s mono", 44100, 1, {.bitrate_kbps = 64}},
    {"48 kHz", 48000, 2, {}},
    {"22.05 kHz, MPEG-2", 22050, 2, {.bitrate_kbps = 64}},
    {"8 kHz mono, MPEG-2.5", 8000, 1, {.bitrate_kbps = 32}},
    {"no LAME tag", 44100, 2, {.lame_tag = false}},
};

struct Encoded {
    Pcm original;
    std::vector<uint8_t> mp3;
};

Encoded encode(const Encoding& encoding, double seconds = 1.5)
{
    Encoded encoded;
    encoded.original = make_signal(encoding.rate, encoding.channels, seconds, encoding.rate / 10);
    encoded.mp3 = encode_mp3(encoded.original, encoding.options);
    return encoded;
}

std::vector<int16_t> as_stereo(const Pcm& pcm)
{
    if (pcm.channels == 2) {
        return pcm.samples;
    }
    std::vector<int16_t> stereo;
    for (int16_t sample : pcm.samples) {
        stereo.push_back(sample);
        stereo.push_back(sample);
    }
    return stereo;
}

TEST(Mpg123Decoder, GaplessDecodingKeepsTheOriginalLengthAndAlignment)
{
    for (const Encoding& encoding : kEncodings) {
        if (!encoding.options.lame_tag) {
            continue;
        }
        SCOPED_TRACE(encoding.name);
        const Encoded encoded = encode(encoding);
        const auto outcome = audio::decode_mp3_mpg123(encoded.mp3, encoding.rate);
        ASSERT_TRUE(outcome.audio) << outcome.reason;
        EXPECT_EQ(outcome.audio->source_rate, encoding.rate);
        EXPECT_EQ(outcome.audio->source_frames, encoded.original.frames());
        ASSERT_EQ(outcome.audio->samples.size(), encoded.original.frames() * 2);

        const uint32_t spacing = encoding.rate / 10;
        const auto expected = find_clicks(as_stereo(encoded.original), spacing);
        const auto decoded = find_clicks(outcome.audio->samples, spacing);
        ASSERT_EQ(decoded.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(static_cast<double>(decoded[i]), static_cast<double>(expected[i]), 1.0);
        }
    }
}

TEST(Mpg123Decoder, WithoutALameTagNothingIsTrimmed)
{
    const Encoding encoding = kEncodings[6];
    const Encoded encoded = encode(encoding);
    const auto scan = audio::scan_mpeg_stream(encoded.mp3);
    ASSERT_TRUE(scan.stream);
    const auto outcome = audio::decode_mp3_mpg123(encoded.mp3, 44100);
    ASSERT_TRUE(outcome.audio) << outcome.reason;
    EXPECT_EQ(outcome.audio->source_frames, uint64_t{scan.stream->audio_frames} * 1152);

    // LAME's encoder delay at 44.1 kHz is 576 samples, the decoder's 529.
    const auto expected = find_clicks(encoded.original.samples);
    const auto decoded = find_clicks(outcome.audio->samples);
    ASSERT_FALSE(decoded.empty());
    EXPECT_NEAR(static_cast<double>(decoded[0] - expected[0]), 576.0 + 529.0, 1.0);
}

// The Windows library trims ACM's raw output by the window the scan computes;
// it matches libmpg123 only if the scan predicts libmpg123's length exactly.
TEST(Mpg123Decoder, TheScanPredictsTheDecodedLength)
{
    for (const Encoding& encoding : kEncodings) {
        SCOPED_TRACE(encoding.name);
        for (double seconds : {0.05, 1.0, 2.3}) {
            const Encoded encoded = encode(encoding, seconds);
            const auto scan = audio::scan_mpeg_stream(encoded.mp3);
            ASSERT_TRUE(scan.stream) << scan.error;
            const uint64_t raw =
                uint64_t{scan.stream->audio_frames} * scan.stream->first.samples_per_frame;
            const auto window = audio::gapless_window(*scan.stream).clamped(raw);

            const auto outcome = audio::decode_mp3_mpg123(encoded.mp3, encoding.rate);
            ASSERT_TRUE(outcome.audio) << outcome.reason;
            EXPECT_EQ(window.length(), outcome.audio->source_frames) << seconds << " s";
        }
    }
}

TEST(Mpg123Decoder, MatchesLibmpg123DecodingTheFileItself)
{
    const Encoded encoded = encode(kEncodings[1]);
    const auto outcome = audio::decode_mp3_mpg123(encoded.mp3, 44100);
    ASSERT_TRUE(outcome.audio);
    EXPECT_EQ(outcome.audio->samples, reference_decode(encoded.mp3));
}

TEST(Mpg123Decoder, MonoPlaysOnBothChannels)
{
    const Encoded encoded = encode(kEncodings[2]);
    const auto outcome = audio::decode_mp3_mpg123(encoded.mp3, 44100);
    ASSERT_TRUE(outcome.audio);
    const auto& samples = outcome.audio->samples;
    for (size_t i = 0; i < samples.size(); i += 2) {
        ASSERT_EQ(samples[i], samples[i + 1]) << i;
    }
}

TEST(Mpg123Decoder, OtherRatesAreResampledToTheOutputRate)
{
    const Encoding encoding = kEncodings[4];  // 22050 Hz
    const Encoded encoded = encode(encoding);
    const auto outcome = audio::decode_mp3_mpg123(encoded.mp3, 44100);
    ASSERT_TRUE(outcome.audio) << outcome.reason;
    EXPECT_EQ(outcome.audio->source_rate, 22050u);
    EXPECT_EQ(outcome.audio->source_frames, encoded.original.frames());
    const double frames = static_cast<double>(outcome.audio->samples.size() / 2);
    EXPECT_EQ(frames, 2.0 * static_cast<double>(encoded.original.frames()));

    const auto expected = find_clicks(encoded.original.samples, 2205);
    const auto decoded = find_clicks(outcome.audio->samples, 4410);
    ASSERT_EQ(decoded.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(static_cast<double>(decoded[i]), 2.0 * static_cast<double>(expected[i]), 3.0);
    }
}

// A LAME tag announcing four billion frames and an encoder delay longer than
// the one frame after it, then an ID3v2 header of no known version claiming
// 768 bytes where one is left: libmpg123's scan fails seeking past the end to
// skip the tag, and the length it reports stays the tag's, 4.9e12 samples.
// Decoding used to make room for all of them first (about 20 TB).
TEST(Mpg123Decoder, ALengthTheScanCouldNotCountIsNotMadeRoomFor)
{
    std::vector<uint8_t> file = tag_frame({.frames = 0xFFFFFFFF, .delay = 2768, .padding = 0});
    append(file, silent_frame(kMpeg1Layer3Stereo128k));
    append(file, {'I', 'D', '3', 0, 0, 0, 0, 0, 6, 0, 0});

    audio::DecodeOutcome outcome;
    ASSERT_NO_THROW(outcome = audio::decode_mp3_mpg123(file, 44100));
    if (outcome.audio) {
        EXPECT_LE(outcome.audio->source_frames, 1152u);
    } else {
        EXPECT_EQ(outcome.error, BASS_ERROR_FILEFORM) << outcome.reason;
    }
}

}  // namespace
