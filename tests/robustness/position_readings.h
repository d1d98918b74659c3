// What a demo started with DEMO_PRINT_POSITIONS says each frame, "position
// 1234567 playing" (or paused), read back; and the title a rehearsal shows
// for a position. For the tests that drive the demo's window (rehearse_test,
// the Wine big screen tests).
#pragma once

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "scene/timeline.h"

namespace test_support {

struct PositionReading {
    int64_t position = 0;
    bool paused = false;
};

// Every complete reading in the program's output so far.
inline std::vector<PositionReading> position_readings(const std::string& output)
{
    std::vector<PositionReading> readings;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (lines.eof()) {
            break;  // a line still being written
        }
        long long position = 0;
        char state[16] = "";
        if (std::sscanf(line.c_str(), "position %lld %15s", &position, state) == 2) {
            readings.push_back({position, std::string(state) == "paused"});
        }
    }
    return readings;
}

// "Night Tree — 0:56 scene 3", and " — paused" after it while paused.
inline std::string rehearsal_title_for(int64_t position, bool paused)
{
    const int64_t seconds = position / 176400;
    char text[96];
    std::snprintf(text, sizeof text, "Night Tree \u2014 %lld:%02lld scene %d%s",
                  static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60),
                  scene_number(static_cast<int32_t>(position)), paused ? " \u2014 paused" : "");
    return text;
}

}  // namespace test_support
