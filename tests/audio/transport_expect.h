// The transport checks (transport_checks.h) as a GoogleTest expectation:
// each failure is the test's, and the seek accuracy measured is printed and
// kept in the test's XML report.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/audio/transport_checks.h"

namespace audio_test {

inline void sleep_milliseconds(unsigned milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

inline void expect_transport(const std::string& mp3_path, uint64_t slack_bytes, const char* output)
{
    const TransportResult result = check_transport({mp3_path, slack_bytes, &sleep_milliseconds});
    for (const std::string& failure : result.failures) {
        ADD_FAILURE() << output << ": " << failure;
    }
    EXPECT_EQ(result.seek_errors.size(), 5u) << "not every seek was measured";
    testing::Test::RecordProperty("seek_error_max_bytes",
                                  static_cast<int>(result.worst_seek_error()));
    std::printf("%s: %s\n", output, result.summary().c_str());
}

}  // namespace audio_test
