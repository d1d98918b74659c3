// The command line both desktop builds read, and the shape the show keeps
// on any screen.
#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

struct Parsed {
    bool ok;
    ShowOptions options;
    std::string error;
};

Parsed parse(const char* command_line)
{
    Parsed parsed{};
    char error[256] = "";
    // Whatever the previous contents, parsing starts from the defaults.
    parsed.options.fullscreen = true;
    parsed.options.from = 99;
    parsed.ok = parse_show_options(command_line, &parsed.options, error, sizeof error);
    parsed.error = error;
    return parsed;
}

int64_t position(const std::string& text)
{
    return parse_music_position(text.data(), text.size());
}

TEST(ShowOptions, NoOptionsMeanTodaysShow)
{
    for (const char* empty : {static_cast<const char*>(nullptr), "", "   ", "\t"}) {
        const Parsed parsed = parse(empty);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        EXPECT_FALSE(parsed.options.help);
        EXPECT_FALSE(parsed.options.fullscreen);
        EXPECT_FALSE(parsed.options.loop);
        EXPECT_EQ(parsed.options.window_width, 960);
        EXPECT_EQ(parsed.options.window_height, 544);
        EXPECT_EQ(parsed.options.from, 0);
    }
}

TEST(ShowOptions, EveryOptionTogetherInAnyOrderAndEitherForm)
{
    const Parsed parsed = parse("--loop  --window 1280x720\t--fullscreen --from=45s");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_TRUE(parsed.options.fullscreen);
    EXPECT_TRUE(parsed.options.loop);
    EXPECT_EQ(parsed.options.window_width, 1280);
    EXPECT_EQ(parsed.options.window_height, 720);
    EXPECT_EQ(parsed.options.from, 45 * 176400);

    const Parsed other = parse("--window=640x360 --from 8000000");
    ASSERT_TRUE(other.ok) << other.error;
    EXPECT_EQ(other.options.window_width, 640);
    EXPECT_EQ(other.options.window_height, 360);
    EXPECT_EQ(other.options.from, 8000000);
    EXPECT_FALSE(other.options.fullscreen);
}

TEST(ShowOptions, TheSmallestAndLargestWindowsAndTheFirstByteAreTaken)
{
    for (const auto& [line, side] : {std::pair{"--window 64x64 --from 0", 64},
                                     std::pair{"--window=16384x16384 --from=0s", 16384}}) {
        const Parsed parsed = parse(line);
        ASSERT_TRUE(parsed.ok) << line << ": " << parsed.error;
        EXPECT_EQ(parsed.options.window_width, side) << line;
        EXPECT_EQ(parsed.options.window_height, side) << line;
        EXPECT_EQ(parsed.options.from, 0) << line;
    }
}

TEST(ShowOptions, QuotedWordsAreOneWordAsOnWindows)
{
    const Parsed parsed = parse("\"--window\" \"800x450\" --\"loop\"");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.window_width, 800);
    EXPECT_TRUE(parsed.options.loop);
    EXPECT_FALSE(parse("\"--from 45s\"").ok) << "a quoted blank stays in the word";
}

TEST(ShowOptions, HelpInEveryFormStopsReading)
{
    for (const char* help : {"--help", "-h", "/?", "--fullscreen /? --bogus"}) {
        const Parsed parsed = parse(help);
        ASSERT_TRUE(parsed.ok) << help << ": " << parsed.error;
        EXPECT_TRUE(parsed.options.help) << help;
    }
    EXPECT_NE(std::string(show_usage()).find("--fullscreen"), std::string::npos);
    for (const char* named : {"--window WxH", "--from POSITION", "--loop", "Esc", "Alt-Enter"}) {
        EXPECT_NE(std::string(show_usage()).find(named), std::string::npos) << named;
    }
}

TEST(ShowOptions, MistakesAreNamedInOneLine)
{
    const struct {
        const char* command_line;
        const char* named;  // what the message must quote
    } mistakes[] = {
        {"--fulscreen", "'--fulscreen'"},
        {"fullscreen", "'fullscreen'"},
        {"--loop=yes", "'--loop=yes'"},
        {"--window", "--window needs WIDTHxHEIGHT"},
        {"--window 1280", "'1280'"},
        {"--window 1280x", "'1280x'"},
        {"--window x720", "'x720'"},
        {"--window 63x64", "'63x64'"},  // each side just past its bounds
        {"--window 64x63", "'64x63'"},
        {"--window 16385x16384", "'16385x16384'"},
        {"--window 16384x16385", "'16384x16385'"},
        {"--window -640x360", "'-640x360'"},
        {"--window 640x360x2", "'640x360x2'"},
        {"--from", "--from needs a music position"},
        {"--from ten", "'ten'"},
        {"--from -5", "'-5'"},
        {"--from 4.5", "'4.5'"},
        {"--from s", "'s'"},
        {"--from 1.2345s", "'1.2345s'"},
        {"--from 1.s", "'1.s'"},
        {"--from 2147483648", "'2147483648'"},
        {"--from 12200s", "'12200s'"},
        // 2^57 s and 45 s: counted in bytes it would wrap around to 45 s.
        {"--from 144115188075855917s", "'144115188075855917s'"},
        {"--from 99999999999999999999s", "'99999999999999999999s'"},
    };
    for (const auto& mistake : mistakes) {
        const Parsed parsed = parse(mistake.command_line);
        EXPECT_FALSE(parsed.ok) << mistake.command_line;
        EXPECT_NE(parsed.error.find(mistake.named), std::string::npos)
            << mistake.command_line << " gave: " << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

TEST(ShowOptions, AnOverlongWordIsCutNotOverrun)
{
    const std::string long_word = "--" + std::string(1000, 'x');
    const Parsed parsed = parse(long_word.c_str());
    EXPECT_FALSE(parsed.ok);
    EXPECT_LT(parsed.error.size(), 256u);
}

TEST(MusicPosition, BytesAndSecondsToWholeSamples)
{
    EXPECT_EQ(position("0"), 0);
    EXPECT_EQ(position("8000000"), 8000000);
    EXPECT_EQ(position("8000002"), 8000000) << "down to a whole stereo sample";
    EXPECT_EQ(position("2147483647"), 2147483644);
    EXPECT_EQ(position("45s"), 7938000);
    EXPECT_EQ(position("45.000s"), 7938000);
    EXPECT_EQ(position("12.5s"), 2205000);
    EXPECT_EQ(position("0.001s"), 176);
    EXPECT_EQ(position("0.01s"), 1764);
    EXPECT_EQ(position("0.003s"), 528) << "529.2 bytes, down to a whole sample";
    // The clock is 32-bit: 12173 s is 2147317200 bytes, 12174 s is past 2^31.
    EXPECT_EQ(position("12173s"), 2147317200);
    EXPECT_EQ(position("12174s"), -1);
    EXPECT_EQ(position(""), -1);
    EXPECT_EQ(position("1e3"), -1);
    EXPECT_EQ(position("45S"), -1);
}

TEST(ShowFrame, KeepsTheShowsShapeCentredWithEvenBars)
{
    // Wider than 960:544: bars left and right (1080 x 960 / 544 = 1905.9).
    const ShowFrame wide = fit_show_frame(1920, 1080);
    EXPECT_EQ(wide.width, 1906);
    EXPECT_EQ(wide.height, 1080);
    EXPECT_EQ(wide.left, 7);
    EXPECT_EQ(wide.top, 0);

    // Taller: bars above and below (1280 x 544 / 960 = 725.3).
    const ShowFrame tall = fit_show_frame(1280, 1024);
    EXPECT_EQ(tall.width, 1280);
    EXPECT_EQ(tall.height, 725);
    EXPECT_EQ(tall.left, 0);
    EXPECT_EQ(tall.top, 149);

    // The show's own shape at any scale: no bars.
    const ShowFrame exact = fit_show_frame(1920, 1088);
    EXPECT_EQ(exact.width, 1920);
    EXPECT_EQ(exact.height, 1088);
    EXPECT_EQ(exact.left, 0);
    EXPECT_EQ(exact.top, 0);

    // An odd leftover: the extra pixel goes right.
    const ShowFrame odd = fit_show_frame(961, 544);
    EXPECT_EQ(odd.width, 960);
    EXPECT_EQ(odd.left, 0);
}

}  // namespace
