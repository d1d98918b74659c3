// The machine lacks a device: no display the graphics device can use, or no
// sound output. Without graphics the programs say so and end with status 1,
// releasing what they made; without sound the demo plays its show silently,
// on its own clock, to the end.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/robustness/case_folder.h"
#include "tests/robustness/clean_end.h"
#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::ChildResult;

const fs::path kGoodFiles = ROBUSTNESS_ASSET_DIR;  // the four textures and a 1 s demo.mp3
const fs::path kCaseRoot = ROBUSTNESS_CASE_DIR;

// SDL's "dummy" video driver makes windows but has no OpenGL.
const std::pair<std::string, std::string> kNoGraphics = {"SDL_VIDEODRIVER", "dummy"};

ChildResult run_in_case_folder(std::vector<std::string> argv,
                               std::vector<std::pair<std::string, std::string>> environment)
{
    const fs::path folder = test_support::fresh_case_folder(kCaseRoot);
    for (const auto& entry : fs::directory_iterator(kGoodFiles)) {
        fs::create_symlink(entry.path(), folder / entry.path().filename());
    }
    return test_support::run_child({std::move(argv), folder, std::move(environment)}, 60s);
}

void expect_failure_naming(const ChildResult& result, const std::string& text)
{
    EXPECT_TRUE(result.exited && result.exit_status == 1) << result.describe() << "\n"
                                                          << result.output;
    EXPECT_NE(result.output.find(text), std::string::npos) << result.output;
    EXPECT_TRUE(test_support::ended_cleanly(result));
}

TEST(MissingDevice, DemoWithoutGraphicsSaysSoAndEndsWithStatus1)
{
    const ChildResult result =
        run_in_case_folder({DEMO_EXE}, {kNoGraphics, {"SDL_AUDIODRIVER", "dummy"}});
    expect_failure_naming(result, "demo: cannot create the Direct3D 9 device");
}

TEST(MissingDevice, ToolsWithoutGraphicsSaySo)
{
    expect_failure_naming(run_in_case_folder({DEMO_STILL_EXE, "100000", "out.png"}, {kNoGraphics}),
                          "cannot create the graphics device");
    expect_failure_naming(
        run_in_case_folder({DEMO_CAPTURE_EXE, "--size", "160x90", "out.mp4"}, {kNoGraphics}),
        "cannot create the graphics device");
}

TEST(MissingDevice, DemoWithoutSoundPlaysTheShowSilentlyToItsEnd)
{
    // A driver name SDL does not know: no sound output can open.
    const auto start = std::chrono::steady_clock::now();
    const ChildResult result = run_in_case_folder(
        {DEMO_EXE}, {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "no-such-driver"}});
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_TRUE(result.exited && result.exit_status == 0) << result.describe() << "\n"
                                                          << result.output;
    EXPECT_NE(result.output.find("the music plays silently"), std::string::npos) << result.output;
    // The silent clock still runs the 1 s show in real time, not at once.
    EXPECT_GE(took, 900ms);
    EXPECT_TRUE(test_support::ended_cleanly(result));
}

}  // namespace
