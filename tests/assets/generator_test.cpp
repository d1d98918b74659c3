// The command-line tool: its options, its errors, and that it writes the same
// bytes every time.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "asset_files.h"
#include "score.h"
#include "textures.h"

namespace {

namespace fs = std::filesystem;
using asset_test::read_file;
using asset_test::run_generator;
using asset_test::ScratchDir;

const char* const kTextureFiles[] = {"tree.dds", "leaf.dds", "ground.dds", "grass.dds"};

bool no_part_files(const fs::path& dir)
{
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".part") {
            return false;
        }
    }
    return true;
}

TEST(Generator, HelpExitsCleanly)
{
    EXPECT_EQ(run_generator({"--help"}).exit_code, 0);
}

TEST(Generator, BadUsageExitsWithStatus2AndSaysWhy)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"a", "b"},
        {"--only", "sound", "out"},
        {"--only"},
        {"--short-track", "ten", "x.mp3"},
        {"--short-track", "0", "x.mp3"},
        {"--short-track", "2"},
        {"--frobnicate", "out"},
    };
    for (const auto& args : bad) {
        const asset_test::RunResult r = run_generator(args);
        EXPECT_EQ(r.exit_code, 2) << (args.empty() ? "(no arguments)" : args.front());
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
}

TEST(Generator, AFileItCannotWriteIsNamedWithTheCause)
{
    const ScratchDir scratch("blocked");
    const fs::path& dir = scratch.path();
    const fs::path blocker = dir / "not-a-directory";
    {
        std::ofstream(blocker) << "x";
    }
    const asset_test::RunResult r = run_generator({"--only", "textures", blocker.string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find(blocker.string()), std::string::npos) << r.err;

    const fs::path missing_dir = dir / "no" / "such" / "dir" / "short.mp3";
    const asset_test::RunResult s = run_generator({"--short-track", "0.2", missing_dir.string()});
    EXPECT_EQ(s.exit_code, 1);
    EXPECT_NE(s.err.find("short.mp3.part"), std::string::npos) << s.err;
    EXPECT_NE(s.err.find("No such file or directory"), std::string::npos) << s.err;
}

TEST(Generator, ShortTrackDecodesToTheRequestedLength)
{
    const ScratchDir scratch("short");
    const fs::path file = scratch.path() / "short.mp3";
    ASSERT_EQ(run_generator({"--short-track", "1.5", file.string()}).exit_code, 0);
    const asset_test::Decoded d = asset_test::decode_mp3(file);
    EXPECT_EQ(d.frames(), 66150u);
    EXPECT_TRUE(no_part_files(file.parent_path()));
}

// Two runs give the same bytes, and the same bytes as the build's run.
TEST(Generator, TexturesAndShortTrackAreTheSameOnEveryRun)
{
    const ScratchDir scratch_a("run-a");
    const ScratchDir scratch_b("run-b");
    const fs::path& a = scratch_a.path();
    const fs::path& b = scratch_b.path();
    for (const fs::path& dir : {a, b}) {
        ASSERT_EQ(run_generator({"--only", "textures", dir.string()}).exit_code, 0);
        ASSERT_EQ(run_generator({"--short-track", "2", (dir / "short.mp3").string()}).exit_code, 0);
        EXPECT_TRUE(no_part_files(dir));
        EXPECT_FALSE(fs::exists(dir / "demo.mp3"));
    }
    EXPECT_EQ(read_file(a / "short.mp3"), read_file(b / "short.mp3"));
    for (const char* name : kTextureFiles) {
        EXPECT_EQ(read_file(a / name), read_file(b / name)) << name;
        EXPECT_EQ(read_file(a / name), read_file(asset_test::built_asset(name))) << name;
    }
}

TEST(Generator, FullTrackIsTheSameOnEveryRun)
{
    const ScratchDir scratch("music");
    const fs::path& dir = scratch.path();
    ASSERT_EQ(run_generator({"--only", "music", dir.string()}).exit_code, 0);
    for (const char* name : kTextureFiles) {
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    }
    EXPECT_EQ(read_file(dir / "demo.mp3"), read_file(asset_test::built_asset("demo.mp3")));
}

}  // namespace
