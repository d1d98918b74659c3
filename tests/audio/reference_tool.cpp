// audio-reference: the Linux side of the Wine check (wine_check.sh). It
// makes the test MP3s, decodes them with our Linux decoder, and compares
// that PCM with what the Windows library decoded under Wine.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "host/linux/audio/mpg123_decoder.h"
#include "tests/audio/mp3_fixture.h"

namespace {

using namespace audio_test;

constexpr const char* kUsage =
    "usage: audio-reference make <out.mp3> <rate> <channels> <seconds> [cbr|vbr|notag]\n"
    "       audio-reference make-wav <out> <seconds>\n"
    "       audio-reference decode <in.mp3> <out.pcm>\n"
    "       audio-reference compare <windows.pcm> <linux.pcm> <tolerance>\n"
    "       audio-reference compare-resampled <windows.pcm> <linux.pcm>\n"
    "PCM files are 16-bit stereo at 44100 Hz. compare fails unless both have the\n"
    "same length, their best alignment is no shift at all, and no sample differs\n"
    "by more than the tolerance. compare-resampled, for streams the two libraries\n"
    "resampled with their own filters, wants the same length, a best alignment\n"
    "within one frame and a mean difference under 256.\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

int make(int argc, char** argv)
{
    if (argc < 6 || argc > 7) {
        return usage();
    }
    const auto rate = static_cast<uint32_t>(std::atoi(argv[3]));
    const int channels = std::atoi(argv[4]);
    const double seconds = std::atof(argv[5]);
    const std::string kind = argc == 7 ? argv[6] : "cbr";
    if (rate == 0 || (channels != 1 && channels != 2) || seconds <= 0 ||
        (kind != "cbr" && kind != "vbr" && kind != "notag")) {
        return usage();
    }
    Mp3Options options;
    options.vbr = kind == "vbr";
    options.lame_tag = kind != "notag";
    options.bitrate_kbps = rate >= 32000 ? 128 : 32;
    write_file(argv[2], encode_mp3(make_signal(rate, channels, seconds, rate / 10), options));
    return 0;
}

int make_wav(int argc, char** argv)
{
    if (argc != 4 || std::atof(argv[3]) <= 0) {
        return usage();
    }
    write_file(argv[2], encode_wav(make_signal(44100, 2, std::atof(argv[3]))));
    return 0;
}

int decode(int argc, char** argv)
{
    if (argc != 4) {
        return usage();
    }
    const auto mp3 = read_file(argv[2]);
    const auto outcome = audio::decode_mp3_mpg123(mp3, 44100);
    if (!outcome.audio) {
        std::fprintf(stderr, "audio-reference: %s: %s\n", argv[2], outcome.reason.c_str());
        return 1;
    }
    const auto& samples = outcome.audio->samples;
    write_file(argv[3], {reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * 2});
    return 0;
}

std::vector<int16_t> read_pcm(const char* path)
{
    const auto bytes = read_file(path);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Mean absolute difference with `b` shifted by `shift` frames.
double mean_difference(const std::vector<int16_t>& a, const std::vector<int16_t>& b, int shift)
{
    double total = 0;
    size_t count = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto j = static_cast<std::ptrdiff_t>(i) + shift * 2;
        if (j >= 0 && static_cast<size_t>(j) < b.size()) {
            total += std::abs(a[i] - b[static_cast<size_t>(j)]);
            ++count;
        }
    }
    return count > 0 ? total / static_cast<double>(count) : 1e9;
}

int compare(int argc, char** argv, bool resampled)
{
    if (argc != (resampled ? 4 : 5)) {
        return usage();
    }
    const auto windows = read_pcm(argv[2]);
    const auto reference = read_pcm(argv[3]);
    int best_shift = 0;
    for (int shift = -64; shift <= 64; ++shift) {
        if (mean_difference(windows, reference, shift) <
            mean_difference(windows, reference, best_shift)) {
            best_shift = shift;
        }
    }
    int largest = 0;
    for (size_t i = 0; i < std::min(windows.size(), reference.size()); ++i) {
        largest = std::max(largest, std::abs(windows[i] - reference[i]));
    }
    std::printf("%s: %zu frames (Linux %zu), best shift %d, mean difference %.3f, largest %d\n",
                argv[2], windows.size() / 2, reference.size() / 2, best_shift,
                mean_difference(windows, reference, 0), largest);
    if (windows.size() != reference.size()) {
        return 1;
    }
    if (resampled) {
        return std::abs(best_shift) <= 1 && mean_difference(windows, reference, 0) < 256 ? 0 : 1;
    }
    return best_shift == 0 && largest <= std::atoi(argv[4]) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "--help" || command == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (command == "make") {
            return make(argc, argv);
        }
        if (command == "make-wav") {
            return make_wav(argc, argv);
        }
        if (command == "decode") {
            return decode(argc, argv);
        }
        if (command == "compare" || command == "compare-resampled") {
            return compare(argc, argv, command == "compare-resampled");
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "audio-reference: %s\n", error.what());
        return 1;
    }
    return usage();
}
