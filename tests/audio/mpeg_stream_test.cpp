#include "host/common/audio/mpeg_stream.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/audio/mpeg_frames.h"

namespace {

using audio::FrameHeader;
using audio::MpegVersion;
using audio::scan_mpeg_stream;
using namespace audio_test;

std::optional<FrameHeader> header_of(uint32_t word)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                              static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
    return audio::parse_frame_header(bytes);
}

TEST(FrameHeader, ReadsTheFieldsOfEachVersion)
{
    struct Case {
        uint32_t word;
        MpegVersion version;
        int layer;
        uint32_t bitrate, rate, bytes, samples;
        int channels;
    };
    const Case cases[] = {
        {kMpeg1Layer3Stereo128k, MpegVersion::mpeg1, 3, 128000, 44100, 417, 1152, 2},
        {kMpeg1Layer3Stereo128k | kPaddingBit, MpegVersion::mpeg1, 3, 128000, 44100, 418, 1152, 2},
        {kMpeg1Layer3Mono64k, MpegVersion::mpeg1, 3, 64000, 44100, 208, 1152, 1},
        {0xFFFBE400, MpegVersion::mpeg1, 3, 320000, 48000, 960, 1152, 2},
        {kMpeg2Layer3Stereo64k, MpegVersion::mpeg2, 3, 64000, 22050, 208, 576, 2},
        {0xFFE31800, MpegVersion::mpeg25, 3, 8000, 8000, 72, 576, 2},
        {kMpeg1Layer2Stereo128k, MpegVersion::mpeg1, 2, 128000, 44100, 417, 1152, 2},
        {0xFFFD9000, MpegVersion::mpeg1, 2, 160000, 44100, 522, 1152, 2},
        {0xFFFF9000, MpegVersion::mpeg1, 1, 288000, 44100, 312, 384, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.word);
        const auto header = header_of(c.word);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->version, c.version);
        EXPECT_EQ(header->layer, c.layer);
        EXPECT_EQ(header->bitrate, c.bitrate);
        EXPECT_EQ(header->sample_rate, c.rate);
        EXPECT_EQ(header->frame_bytes, c.bytes);
        EXPECT_EQ(header->samples_per_frame, c.samples);
        EXPECT_EQ(header->channels, c.channels);
    }
}

TEST(FrameHeader, RefusesReservedAndFreeFormatFields)
{
    EXPECT_FALSE(header_of(0x00000000));                 // no sync
    EXPECT_FALSE(header_of(0xFFEB9000));                 // reserved version
    EXPECT_FALSE(header_of(0xFFF99000));                 // reserved layer
    EXPECT_FALSE(header_of(0xFFFB0000));                 // free-format bitrate
    EXPECT_FALSE(header_of(0xFFFBF000));                 // bad bitrate
    EXPECT_FALSE(header_of(0xFFFB9C00));                 // reserved sample rate
    EXPECT_TRUE(header_of(kMpeg1Layer3Stereo128k | 1));  // emphasis bits do not matter here
}

TEST(MpegScan, WalksAPlainStream)
{
    const auto data = silent_frames(kMpeg1Layer3Stereo128k, 5);
    const auto scan = scan_mpeg_stream(data);
    ASSERT_TRUE(scan.stream) << scan.error;
    EXPECT_EQ(scan.stream->audio_begin, 0u);
    EXPECT_EQ(scan.stream->audio_end, data.size());
    EXPECT_EQ(scan.stream->audio_frames, 5u);
    EXPECT_FALSE(scan.stream->tag);
}

TEST(MpegScan, SkipsId3v2TagsAndZeroPaddingBeforeTheFirstFrame)
{
    std::vector<uint8_t> data = id3v2_tag(300);
    append(data, id3v2_tag(20, true));
    data.resize(data.size() + 7, 0);
    const size_t start = data.size();
    append(data, silent_frames(kMpeg1Layer3Stereo128k, 3));

    const auto scan = scan_mpeg_stream(data);
    ASSERT_TRUE(scan.stream) << scan.error;
    EXPECT_EQ(scan.stream->audio_begin, start);
    EXPECT_EQ(scan.stream->audio_frames, 3u);
}

TEST(MpegScan, TakesTheTagFrameOutOfTheAudio)
{
    std::vector<uint8_t> data = tag_frame({.frames = 4, .delay = 576, .padding = 1234});
    append(data, silent_frames(kMpeg1Layer3Stereo128k, 4));

    const auto scan = scan_mpeg_stream(data);
    ASSERT_TRUE(scan.stream) << scan.error;
    EXPECT_EQ(scan.stream->audio_begin, 417u);
    EXPECT_EQ(scan.stream->audio_frames, 4u);
    ASSERT_TRUE(scan.stream->tag);
    EXPECT_EQ(scan.stream->tag->frames, 4u);
    EXPECT_TRUE(scan.stream->tag->has_lame);
    EXPECT_EQ(scan.stream->tag->encoder_delay, 576u);
    EXPECT_EQ(scan.stream->tag->encoder_padding, 1234u);
}

TEST(MpegScan, RefusesAFileCutShortOfTheFramesItsTagCounts)
{
    const auto stream_of = [](uint32_t announced, int present) {
        std::vector<uint8_t> data = tag_frame({.frames = announced});
        append(data, silent_frames(kMpeg1Layer3Stereo128k, present));
        return data;
    };
    const auto cut = scan_mpeg_stream(stream_of(8, 4));
    EXPECT_FALSE(cut.stream);
    EXPECT_NE(cut.error.find("cut short"), std::string::npos) << cut.error;
    EXPECT_NE(cut.error.find("4 of the 8"), std::string::npos) << cut.error;

    // One frame short is a last frame cut by a few bytes: what is there plays.
    EXPECT_TRUE(scan_mpeg_stream(stream_of(8, 7)).stream);
    // A tag that counts no frames promises nothing.
    EXPECT_TRUE(scan_mpeg_stream(stream_of(0, 3)).stream);
}

TEST(MpegScan, ReadsTagsAsLibmpg123Does)
{
    // A CRC may sit in the first two bytes after the header; anything else
    // before the tag makes the frame an audio frame.
    auto with_crc = tag_frame({.frames = 9});
    with_crc[4] = 0xAB;
    with_crc[5] = 0xCD;
    EXPECT_TRUE(audio::parse_xing_tag(with_crc, *header_of(kMpeg1Layer3Stereo128k)));

    auto with_data = tag_frame({.frames = 9});
    with_data[4 + 10] = 1;
    EXPECT_FALSE(audio::parse_xing_tag(with_data, *header_of(kMpeg1Layer3Stereo128k)));

    // "Xing" is the VBR spelling; any encoder name makes a LAME extension.
    const auto xing = audio::parse_xing_tag(tag_frame({.magic = "Xing", .encoder = "Lavc59.37"}),
                                            *header_of(kMpeg1Layer3Stereo128k));
    ASSERT_TRUE(xing);
    EXPECT_TRUE(xing->has_lame);

    const auto bare = audio::parse_xing_tag(tag_frame({.frames = 7, .with_lame = false}),
                                            *header_of(kMpeg1Layer3Stereo128k));
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->frames, 7u);
    EXPECT_FALSE(bare->has_lame);
}

TEST(MpegScan, RefusesDataThatIsNotMpegAudio)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        const char* says;
    };
    std::vector<uint8_t> wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    wav.resize(4096, 0x11);
    std::vector<uint8_t> random(8192);
    std::mt19937 generator(7);
    for (uint8_t& byte : random) {
        byte = static_cast<uint8_t>(generator() & 0xFE);  // no 0xFF: no sync anywhere
    }
    std::vector<uint8_t> late_frame(100, 0x20);
    append(late_frame, silent_frames(kMpeg1Layer3Stereo128k, 3));
    std::vector<uint8_t> lone_frame = silent_frame(kMpeg1Layer3Stereo128k);
    lone_frame.resize(lone_frame.size() + 200, 0x55);
    std::vector<uint8_t> huge_id3 = id3v2_tag(10);
    huge_id3[6] = 0x7F;
    std::vector<uint8_t> tag_only = tag_frame({.frames = 0});
    std::vector<uint8_t> half_frame = silent_frame(kMpeg1Layer3Stereo128k);
    half_frame.resize(200);

    const Case cases[] = {
        {"empty", {}, "empty"},
        {"wav", wav, "RIFF"},
        {"random", random, "not MPEG audio"},
        {"junk before the first frame", late_frame, "not MPEG audio"},
        {"a lone frame before junk", lone_frame, "not MPEG audio"},
        {"an ID3v2 tag longer than the file", huge_id3, "ID3v2"},
        {"a tag frame and nothing else", tag_only, "no audio frames"},
        {"layer II", silent_frames(kMpeg1Layer2Stereo128k, 3), "layer 2"},
        {"free format", {0xFF, 0xFB, 0x00, 0x00, 0, 0, 0, 0}, "not MPEG audio"},
        {"half a frame", half_frame, "ends inside"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto scan = scan_mpeg_stream(c.data);
        EXPECT_FALSE(scan.stream);
        EXPECT_NE(scan.error.find(c.says), std::string::npos) << scan.error;
    }
}

TEST(MpegScan, EndsTheStreamAtTrailingTagsCutFramesAndForeignFrames)
{
    // An ID3v1 tag, then junk: three frames.
    std::vector<uint8_t> id3v1 = silent_frames(kMpeg1Layer3Stereo128k, 3);
    id3v1.push_back('T');
    id3v1.push_back('A');
    id3v1.push_back('G');
    id3v1.resize(id3v1.size() + 125, 0x41);
    // A file cut inside its fourth frame: three whole frames.
    std::vector<uint8_t> cut = silent_frames(kMpeg1Layer3Stereo128k, 4);
    cut.resize(cut.size() - 100);
    // A change of sample rate ends the stream.
    std::vector<uint8_t> switched = silent_frames(kMpeg1Layer3Stereo128k, 3);
    append(switched, silent_frames(kMpeg2Layer3Stereo64k, 2));
    // Padded and unpadded frames belong together.
    std::vector<uint8_t> padded = silent_frames(kMpeg1Layer3Stereo128k, 2);
    append(padded, silent_frame(kMpeg1Layer3Stereo128k | kPaddingBit));

    for (const auto& data : {id3v1, cut, switched, padded}) {
        const auto scan = scan_mpeg_stream(data);
        ASSERT_TRUE(scan.stream) << scan.error;
        EXPECT_EQ(scan.stream->audio_frames, 3u);
    }
}

TEST(MpegScan, AcceptsALoneFrameOnlyWhenNothingSuspectFollows)
{
    std::vector<uint8_t> alone = silent_frame(kMpeg1Layer3Mono64k);
    std::vector<uint8_t> cut_second = alone;
    append(cut_second, silent_frame(kMpeg1Layer3Mono64k));
    cut_second.resize(cut_second.size() - 50);
    for (const auto& data : {alone, cut_second}) {
        const auto scan = scan_mpeg_stream(data);
        ASSERT_TRUE(scan.stream) << scan.error;
        EXPECT_EQ(scan.stream->audio_frames, 1u);
        EXPECT_EQ(scan.stream->first.channels, 1);
    }
}

TEST(GaplessWindow, FollowsWhatTheTagAnnounces)
{
    audio::MpegStream stream;
    stream.first = *header_of(kMpeg1Layer3Stereo128k);
    stream.audio_frames = 100;

    // No tag: the decoder's output is kept whole.
    auto window = audio::gapless_window(stream);
    EXPECT_EQ(window.begin, 0u);
    EXPECT_EQ(window.clamped(115200).end, 115200u);

    // A frame count alone: the decoder delay goes.
    stream.tag = audio::XingTag{.frames = 100};
    window = audio::gapless_window(stream);
    EXPECT_EQ(window.begin, 529u);
    EXPECT_EQ(window.clamped(115200).end, 115200u);

    // Delay and padding: 576 + 529 at the start, 1000 - 529 at the end.
    stream.tag = audio::XingTag{
        .frames = 100, .has_lame = true, .encoder_delay = 576, .encoder_padding = 1000};
    window = audio::gapless_window(stream);
    EXPECT_EQ(window.begin, 1105u);
    EXPECT_EQ(window.end, 115200u + 529 - 1000);
    EXPECT_EQ(window.length(), 115200u - 576 - 1000);

    // A padding beyond the track leaves nothing, and a short raw output
    // shortens the window instead of reaching past it.
    stream.tag->encoder_padding = 4000;
    stream.tag->frames = 1;
    EXPECT_EQ(audio::gapless_window(stream).length(), 0u);
    stream.tag = audio::XingTag{
        .frames = 100, .has_lame = true, .encoder_delay = 576, .encoder_padding = 1000};
    EXPECT_EQ(audio::gapless_window(stream).clamped(50000).end, 50000u);
    EXPECT_EQ(audio::gapless_window(stream).clamped(1000).length(), 0u);
}

}  // namespace
