// The check every run of these tests passes whatever its status: the
// program ended by itself, no sanitizer reported, and no Direct3D object was
// left unreleased (the OpenGL device lists those at exit).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/child_process.h"

namespace test_support {

inline ::testing::AssertionResult ended_cleanly(const ChildResult& result)
{
    if (!result.exited || result.timed_out) {
        return ::testing::AssertionFailure() << result.describe() << "; output:\n" << result.output;
    }
    if (has_sanitizer_report(result.output)) {
        return ::testing::AssertionFailure() << "a sanitizer reported:\n" << result.output;
    }
    if (result.output.find("never released") != std::string::npos) {
        return ::testing::AssertionFailure() << "objects left unreleased:\n" << result.output;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test_support
