#include "scene/timeline.h"

#include <iterator>

#include "gu/gu.h"
#include "math/matrix.h"
#include "scene/scene.h"
#include "scene/scripts.h"

int32_t music_pos = 0;

namespace {

struct TimelineEntry {
    int32_t start;  // first music byte of the scene
    void (*play)(int32_t bytes);
};

constexpr TimelineEntry kTimeline[] = {
    {0, scene_1},
    {kScene2Start, scene_2},
    {kScene3Start, scene_3},
    {kScene4Start, scene_4},
    {kScene5Start, scene_5},
};

}  // namespace

void render_frame()
{
    Mat4 projection;
    mat_perspective(&projection, kFieldOfViewDegrees, kAspect, kNear, kFar);
    gu_load_matrix(GU_PROJECTION, &projection);

    // Each boundary is a "less than" test in order; everything below the
    // first, negative positions included, is scene 1 with the position
    // itself as its byte count.
    size_t scene = 0;
    while (scene + 1 < std::size(kTimeline) && music_pos >= kTimeline[scene + 1].start) {
        ++scene;
    }
    kTimeline[scene].play(music_pos - kTimeline[scene].start);
}
