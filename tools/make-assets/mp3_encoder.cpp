#include "mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "synth.h"

namespace assets {

namespace {

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using Lame = std::unique_ptr<lame_global_flags, LameCloser>;

void check(int result, const char* call)
{
    if (result < 0) {
        throw std::runtime_error(std::string("libmp3lame: ") + call + " failed (" +
                                 std::to_string(result) + ")");
    }
}

Lame open_encoder()
{
    Lame lame(lame_init());
    if (!lame) {
        throw std::runtime_error("libmp3lame: lame_init failed");
    }
    lame_global_flags* f = lame.get();
    check(lame_set_num_channels(f, 2), "lame_set_num_channels");
    check(lame_set_in_samplerate(f, kSampleRate), "lame_set_in_samplerate");
    check(lame_set_out_samplerate(f, kSampleRate), "lame_set_out_samplerate");
    check(lame_set_mode(f, JOINT_STEREO), "lame_set_mode");
    check(lame_set_VBR(f, vbr_off), "lame_set_VBR");
    check(lame_set_brate(f, kMp3Kbps), "lame_set_brate");
    // 3 sounds the same as 2 at this bit rate and encodes almost twice as fast.
    check(lame_set_quality(f, 3), "lame_set_quality");
    // The Info tag frame carries the delay and padding a gapless decoder trims.
    check(lame_set_bWriteVbrTag(f, 1), "lame_set_bWriteVbrTag");
    lame_set_write_id3tag_automatic(f, 0);
    check(lame_init_params(f), "lame_init_params");
    return lame;
}

}  // namespace

std::vector<uint8_t> encode_mp3(std::span<const int16_t> interleaved, const Progress& progress)
{
    if (interleaved.size() % 2 != 0) {
        throw std::invalid_argument("encode_mp3: odd number of samples for stereo");
    }
    Lame lame = open_encoder();
    constexpr size_t kChunkFrames = 1152 * 32;
    // LAME's documented worst case: 1.25 x samples + 7200 bytes.
    std::vector<unsigned char> buffer(kChunkFrames * 5 / 4 + 7200);
    std::vector<uint8_t> mp3;
    const size_t frames = interleaved.size() / 2;
    for (size_t done = 0; done < frames;) {
        const size_t n = std::min(kChunkFrames, frames - done);
        // lame_encode_buffer_interleaved takes a non-const pointer but only
        // reads the samples.
        const int bytes = lame_encode_buffer_interleaved(
            lame.get(), const_cast<short*>(interleaved.data() + 2 * done), static_cast<int>(n),
            buffer.data(), static_cast<int>(buffer.size()));
        check(bytes, "lame_encode_buffer_interleaved");
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + bytes);
        done += n;
        if (progress) {
            progress("encoding", static_cast<double>(done) / static_cast<double>(frames));
        }
    }
    const int tail = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
    check(tail, "lame_encode_flush");
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + tail);

    // LAME left the first frame empty for the tag; fill it in now that the
    // stream length is known.
    const size_t tag_size = lame_get_lametag_frame(lame.get(), buffer.data(), buffer.size());
    if (tag_size == 0 || tag_size > buffer.size() || tag_size > mp3.size()) {
        throw std::runtime_error("libmp3lame: no LAME tag frame");
    }
    std::copy_n(buffer.begin(), tag_size, mp3.begin());
    return mp3;
}

}  // namespace assets
