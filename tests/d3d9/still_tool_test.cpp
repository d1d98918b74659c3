// demo-still as a command: its usage errors (status 2), failures (status 1),
// warnings for missing textures, and a written PNG of the requested size.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

std::string read_all(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs demo-still with the arguments in the folder (which holds no textures).
ToolRun run(const std::string& folder, const std::string& arguments)
{
    const std::string out = folder + "/stdout.txt";
    const std::string err = folder + "/stderr.txt";
    const std::string command = "cd '" + folder + "' && '" DEMO_STILL_PATH "' " + arguments +
                                " > '" + out + "' 2> '" + err + "'";
    const int status = std::system(command.c_str());
    ToolRun result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_all(out), read_all(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

std::string empty_folder(const char* name)
{
    const std::string folder = testing::TempDir() + name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(StillTool, HelpAndUsageErrors)
{
    const std::string folder = empty_folder("still_tool_usage");
    const ToolRun help = run(folder, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: demo-still BYTEPOS"), std::string::npos);

    struct Case {
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"", "expected a byte position and an output file"},
        {"100", "expected a byte position and an output file"},
        {"100 a.png b.png", "too many arguments"},
        {"12abc out.png", "whole number"},
        {"99999999999 out.png", "whole number"},
        {"100 out.png --size", "--size needs a value"},
        {"100 out.png --size 0x10", "--size wants WxH"},
        {"100 out.png --size=640", "--size wants WxH"},
        {"100 out.png --frobnicate", "unknown option \"--frobnicate\""},
    };
    for (const Case& c : cases) {
        const ToolRun r = run(folder, c.arguments);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
        EXPECT_NE(r.err.find("Try 'demo-still --help'"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/out.png"));
}

TEST(StillTool, WritesThePngOfTheRequestedSizeAndWarnsOfMissingTextures)
{
    const std::string folder = empty_folder("still_tool_write");
    const ToolRun r = run(folder, "8500000 frame.png --size 64x36");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: tree.dds: cannot open"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("drawn untextured"), std::string::npos) << r.err;

    // The PNG header: signature, then IHDR with width and height (big endian).
    const std::string png = read_all(folder + "/frame.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    auto be32 = [&png](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(png[at])) << 24 |
               static_cast<uint32_t>(static_cast<uint8_t>(png[at + 1])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(png[at + 2])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(png[at + 3]));
    };
    EXPECT_EQ(be32(16), 64u);
    EXPECT_EQ(be32(20), 36u);
    // Only the PNG was left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(StillTool, AnUnwritableOutputFailsWithItsName)
{
    const std::string folder = empty_folder("still_tool_unwritable");
    const ToolRun r = run(folder, "0 missing-folder/frame.png --size 16x16");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write \"missing-folder/frame.png\": No such file or directory"),
              std::string::npos)
        << r.err;
}

}  // namespace
