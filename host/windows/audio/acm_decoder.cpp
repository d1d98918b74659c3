#include "host/windows/audio/acm_decoder.h"

// clang-format off
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>
// clang-format on

#include <algorithm>
#include <string>
#include <vector>

namespace audio {
namespace {

// Source bytes per conversion call. The output of a call is at most 48 times
// its input (1152 stereo samples from a 96-byte frame at 32 kbit/s, 48 kHz),
// so a 64-times output buffer never fills.
constexpr DWORD kSourceChunk = 16384;
constexpr DWORD kExpansion = 64;

class AcmStream {
public:
    AcmStream() = default;
    ~AcmStream()
    {
        if (handle_ != nullptr) {
            acmStreamClose(handle_, 0);
        }
    }
    AcmStream(const AcmStream&) = delete;
    AcmStream& operator=(const AcmStream&) = delete;

    MMRESULT open(WAVEFORMATEX* from, WAVEFORMATEX* to)
    {
        return acmStreamOpen(&handle_, nullptr, from, to, nullptr, 0, 0,
                             ACM_STREAMOPENF_NONREALTIME);
    }

    // Converts all of `input`, appending the result to `output`; the last
    // call carries ACM_STREAMCONVERTF_END so the codec gives back what it
    // holds. False, with the cause in `why`, when the codec fails.
    bool convert_all(std::span<const uint8_t> input, DWORD chunk, std::vector<uint8_t>& output,
                     std::string& why)
    {
        std::vector<uint8_t> destination(size_t{chunk} * kExpansion);
        size_t at = 0;
        DWORD flags = ACM_STREAMCONVERTF_START;
        while (at < input.size()) {
            const auto take = static_cast<DWORD>(std::min<size_t>(input.size() - at, chunk));
            const bool last = at + take == input.size();
            flags |= last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN;
            DWORD used = 0;
            DWORD produced = 0;
            const MMRESULT result =
                convert(input.data() + at, take, destination, flags, used, produced);
            if (result != MMSYSERR_NOERROR) {
                why = "the ACM codec failed at byte " + std::to_string(at) + " (error " +
                      std::to_string(result) + ")";
                return false;
            }
            output.insert(output.end(), destination.begin(), destination.begin() + produced);
            // A codec that takes nothing and gives nothing is stuck: finish.
            at = used == 0 && produced == 0 ? input.size() : at + used;
            flags = 0;
        }
        return true;
    }

private:
    MMRESULT convert(const uint8_t* source, DWORD source_bytes, std::vector<uint8_t>& destination,
                     DWORD flags, DWORD& used, DWORD& produced)
    {
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = const_cast<uint8_t*>(source);  // ACM does not write to it
        header.cbSrcLength = source_bytes;
        header.pbDst = destination.data();
        header.cbDstLength = static_cast<DWORD>(destination.size());
        MMRESULT result = acmStreamPrepareHeader(handle_, &header, 0);
        if (result != MMSYSERR_NOERROR) {
            return result;
        }
        result = acmStreamConvert(handle_, &header, flags);
        used = header.cbSrcLengthUsed;
        produced = std::min(header.cbDstLengthUsed, header.cbDstLength);
        header.cbSrcLength = source_bytes;
        header.cbDstLength = static_cast<DWORD>(destination.size());
        acmStreamUnprepareHeader(handle_, &header, 0);
        return result;
    }

    HACMSTREAM handle_ = nullptr;
};

WAVEFORMATEX pcm_format(uint32_t rate, int channels)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    return format;
}

// The codec's description of the stream, taken from its first audio frame.
MPEGLAYER3WAVEFORMAT mp3_format(const FrameHeader& first)
{
    MPEGLAYER3WAVEFORMAT format{};
    format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format.wfx.nChannels = static_cast<WORD>(first.channels);
    format.wfx.nSamplesPerSec = first.sample_rate;
    format.wfx.nAvgBytesPerSec = first.bitrate / 8;
    format.wfx.nBlockAlign = 1;
    format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    format.wID = MPEGLAYER3_ID_MPEG;
    format.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    format.nBlockSize = static_cast<WORD>(first.frame_bytes);
    format.nFramesPerBlock = 1;
    format.nCodecDelay = 0;
    return format;
}

DecodeOutcome failure(int error, std::string reason)
{
    DecodeOutcome outcome;
    outcome.error = error;
    outcome.reason = std::move(reason);
    return outcome;
}

std::string describe(const FrameHeader& first)
{
    return std::to_string(first.sample_rate) + " Hz, " + std::to_string(first.channels) +
           (first.channels == 1 ? " channel" : " channels");
}

}  // namespace

DecodeOutcome decode_mp3_acm(std::span<const uint8_t> file, const MpegStream& stream,
                             uint32_t output_rate)
{
    const FrameHeader& first = stream.first;
    MPEGLAYER3WAVEFORMAT mp3 = mp3_format(first);
    WAVEFORMATEX raw_format = pcm_format(first.sample_rate, first.channels);
    AcmStream decoder;
    const MMRESULT opened = decoder.open(&mp3.wfx, &raw_format);
    if (opened != MMSYSERR_NOERROR) {
        return failure(BASS_ERROR_CODEC, "no ACM codec decodes MPEG layer III at " +
                                             describe(first) + " (acmStreamOpen: error " +
                                             std::to_string(opened) + ")");
    }
    std::vector<uint8_t> raw;
    raw.reserve(size_t{stream.audio_frames} * first.samples_per_frame * raw_format.nBlockAlign);
    std::string why;
    const auto frames = file.subspan(stream.audio_begin, stream.audio_end - stream.audio_begin);
    if (!decoder.convert_all(frames, kSourceChunk, raw, why)) {
        return failure(BASS_ERROR_FILEFORM, why);
    }

    // Keep what a gapless decoder keeps.
    const size_t frame_bytes = size_t{raw_format.nBlockAlign};
    const GaplessWindow window = gapless_window(stream).clamped(raw.size() / frame_bytes);
    std::vector<uint8_t> kept(raw.begin() + static_cast<std::ptrdiff_t>(window.begin * frame_bytes),
                              raw.begin() + static_cast<std::ptrdiff_t>(window.end * frame_bytes));
    raw = {};

    DecodedAudio audio;
    audio.source_rate = first.sample_rate;
    audio.source_frames = window.length();
    if (first.channels == 2 && first.sample_rate == output_rate) {
        audio.samples.resize(kept.size() / 2);
        std::copy(kept.begin(), kept.end(), reinterpret_cast<uint8_t*>(audio.samples.data()));
    } else {
        WAVEFORMATEX stereo = pcm_format(output_rate, 2);
        AcmStream converter;
        const MMRESULT converting = converter.open(&raw_format, &stereo);
        if (converting != MMSYSERR_NOERROR) {
            return failure(BASS_ERROR_FORMAT, "ACM cannot convert " + describe(first) + " to " +
                                                  std::to_string(output_rate) +
                                                  " Hz stereo (error " +
                                                  std::to_string(converting) + ")");
        }
        std::vector<uint8_t> converted;
        if (!converter.convert_all(kept, kSourceChunk, converted, why)) {
            return failure(BASS_ERROR_FORMAT, why);
        }
        // The converter's length can differ from the exact ratio by a frame.
        const uint64_t wanted = audio.source_frames * output_rate / first.sample_rate;
        converted.resize(static_cast<size_t>(wanted) * kBytesPerFrame, 0);
        audio.samples.resize(converted.size() / 2);
        std::copy(converted.begin(), converted.end(),
                  reinterpret_cast<uint8_t*>(audio.samples.data()));
    }
    DecodeOutcome outcome;
    outcome.audio = std::move(audio);
    return outcome;
}

}  // namespace audio
