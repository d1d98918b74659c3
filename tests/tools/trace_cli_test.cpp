// demo-trace as a program: usage errors, and a trace that is the frame's
// device calls, one per line, exactly as recorded in-process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "gu/gu.h"
#include "scene/geometry.h"
#include "scene/scene.h"
#include "tests/support/device_calls.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

struct TraceRun {
    int status;
    std::string output;  // standard output and standard error together
};

TraceRun run_trace(const std::string& arguments)
{
    const std::string command = std::string("'") + DEMO_TRACE_PATH + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return {-1, ""};
    }
    std::string output;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The frame at a music position, recorded here the way demo-trace sets it up.
std::vector<std::string> frame_in_process(int32_t position)
{
    RecordingDevice device;
    device.set_keep_draw_data(false);
    RecordingTexture bark("tree.dds");
    RecordingTexture leaf("leaf.dds");
    RecordingTexture ground("ground.dds");
    RecordingTexture grass("grass.dds");
    IDirect3DTexture9* slots[TEXTURE_SLOT_COUNT] = {&bark, &leaf, &ground, nullptr, &grass};
    std::copy(std::begin(slots), std::end(slots), texture_slots);
    gu_attach_device(&device);
    random15_state = 1;
    scene_init();
    device.clear_calls();
    music_pos = position;
    render_frame();
    std::vector<std::string> lines;
    for (const DeviceCall& c : device.calls()) {
        lines.push_back(format_call(c));
    }
    std::fill(std::begin(texture_slots), std::end(texture_slots), nullptr);
    return lines;
}

}  // namespace

TEST(TraceCli, HelpExplainsTheFormat)
{
    const TraceRun run = run_trace("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.output, HasSubstr("usage: demo-trace"));
    EXPECT_THAT(run.output, HasSubstr("0xAARRGGBB"));
    EXPECT_THAT(run.output, HasSubstr("%.9g"));
    EXPECT_THAT(run.output, HasSubstr("FNV-1a"));
    EXPECT_THAT(run.output, HasSubstr("4294967295"));
}

TEST(TraceCli, RefusesAPositionThatIsNotAnIntegerWithStatusTwo)
{
    for (const char* bad : {"abc", "12x", "1.5", "0x10", "''", "' 12'", "4294967296", "-2147483649",
                            "99999999999999999999"}) {
        const TraceRun run = run_trace(bad);
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_THAT(run.output, HasSubstr("is not a music position")) << bad;
        EXPECT_THAT(run.output, HasSubstr("usage:")) << bad;
    }
}

TEST(TraceCli, RefusesBadUsageWithStatusTwo)
{
    const TraceRun none = run_trace("");
    EXPECT_EQ(none.status, 2);
    EXPECT_THAT(none.output, HasSubstr("no music position given"));
    const TraceRun two = run_trace("1 2");
    EXPECT_EQ(two.status, 2);
    EXPECT_THAT(two.output, HasSubstr("more than one position"));
    const TraceRun option = run_trace("--frames 3");
    EXPECT_EQ(option.status, 2);
    EXPECT_THAT(option.output, HasSubstr("unknown option '--frames'"));
}

TEST(TraceCli, PrintsTheFramesCallsOnePerLineAsRecorded)
{
    for (int32_t position : {0, 8500000, 16631032}) {
        const TraceRun run = run_trace(std::to_string(position));
        ASSERT_EQ(run.status, 0) << run.output;
        const auto lines = lines_of(run.output);
        ASSERT_FALSE(lines.empty());
        EXPECT_THAT(lines[0], StartsWith("# music_pos " + std::to_string(position) + ": scene "));
        const std::vector<std::string> calls(lines.begin() + 1, lines.end());
        EXPECT_EQ(calls, frame_in_process(position)) << "position " << position;
    }
}

TEST(TraceCli, EveryLineIsOneCallWithHashesOnEveryDraw)
{
    const TraceRun run = run_trace("9977248");
    ASSERT_EQ(run.status, 0);
    const auto lines = lines_of(run.output);
    EXPECT_EQ(lines[0], "# music_pos 9977248: scene 3, scene byte 0");
    const std::regex call_line(R"([A-Za-z]+\(.*\))");
    const std::regex draw_line(
        R"(Draw\w*\(D3DPT_\w+=\d, .*stride=36, records_fnv1a=0x[0-9a-f]{16}.*\))");
    int draws = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], call_line)) << lines[i];
        if (lines[i].rfind("Draw", 0) == 0) {
            ++draws;
            EXPECT_TRUE(std::regex_match(lines[i], draw_line)) << lines[i];
        }
    }
    // Stars, 81 ground tiles, grass, 63 segments and 32 leaf clusters.
    EXPECT_EQ(draws, 1 + 81 + 1 + 63 + 32);
}

TEST(TraceCli, PositionsFrom2To31OnAreTheLow32BitsOfAByteCount)
{
    const TraceRun high = run_trace("4294967295");
    const TraceRun minus_one = run_trace("-1");
    ASSERT_EQ(high.status, 0);
    ASSERT_EQ(minus_one.status, 0);
    const auto high_lines = lines_of(high.output);
    const auto minus_lines = lines_of(minus_one.output);
    EXPECT_EQ(high_lines[0], "# music_pos -1: scene 1, scene byte -1");
    EXPECT_EQ(std::vector<std::string>(high_lines.begin() + 1, high_lines.end()),
              std::vector<std::string>(minus_lines.begin() + 1, minus_lines.end()));
    EXPECT_EQ(lines_of(run_trace("2147483648").output)[0],
              "# music_pos -2147483648: scene 1, scene byte -2147483648");
}

TEST(TraceCli, SetupPrintsAttachingAndSceneInitFirst)
{
    const TraceRun run = run_trace("--setup 0");
    ASSERT_EQ(run.status, 0);
    const auto lines = lines_of(run.output);
    ASSERT_GT(lines.size(), 19u);
    EXPECT_EQ(lines[0], "# setup");
    EXPECT_EQ(lines[1], "SetRenderState(D3DRS_ALPHATESTENABLE=15, 0)");
    EXPECT_EQ(lines[12], "SetRenderState(D3DRS_ZFUNC=23, D3DCMP_LESSEQUAL=4)");
    EXPECT_EQ(lines[17], "SetTexture(0, NULL)");
    EXPECT_THAT(lines[18], StartsWith("# music_pos 0"));
}
