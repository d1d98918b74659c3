// A fresh folder for the running test case, named after it, under `root`:
// each case's programs read and write only there, so cases run in parallel.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace test_support {

inline std::filesystem::path fresh_case_folder(const std::filesystem::path& root)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    std::replace(name.begin(), name.end(), '/', '-');
    const std::filesystem::path folder = root / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace test_support
