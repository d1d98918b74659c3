#include "scene/tree.h"

#include <algorithm>
#include <cmath>

#include "gu/gu.h"
#include "math/trig.h"
#include "scene/elements.h"
#include "scene/geometry.h"
#include "scene/scene.h"

TreeParams tree_params;

namespace {

// Each child starts a little below the top of its 1.5-unit parent segment,
// so the pieces overlap.
constexpr float kChildLift = 1.455f;
constexpr float kLeafScale = 5.0f;
constexpr float kChildScale = 0.625f;

// The cosine is taken only of a negative bend: only the child leaning
// further in the direction of the lean is shortened.
float child_scale(float bend, float shrink)
{
    return kChildScale * ((1.0f - shrink) + shrink * portable_cos(std::min(bend, 0.0f)));
}

void draw_leaf_cluster(Mat4* m)
{
    mat_scale(m, kLeafScale);
    gu_load_matrix(GU_MODEL, m);
    gu_disable(GU_CULL_FACE);
    bind_texture_slot(TEXTURE_SLOT_LEAF);
    set_additive_blend(TRUE, tree_params.leaf_color);
    // Count 8 converts all eight records but draws 8 / 3 = 2 triangles from
    // the first six indices: only the quad in the tip's x-y plane shows.
    gu_draw_array(GU_TRIANGLES, GU_INDEX_16BIT | GU_TEXTURE_32BITF | GU_VERTEX_32BITF, kLeafRecords,
                  leaf_indices, leaf_records);
    set_additive_blend(FALSE, 0);
}

}  // namespace

void draw_tree(const Mat4* base, float twist, float lean, float spread, float shrink,
               int32_t leaf_gray)
{
    gu_enable(GU_FOG);
    gu_enable(GU_TEXTURE_2D);
    gu_disable(GU_ALPHA_TEST);
    tree_params.twist = twist;
    tree_params.roll[0] = lean - spread;
    tree_params.scale[0] = child_scale(2.0f * lean, shrink);
    tree_params.roll[1] = lean + spread;
    tree_params.scale[1] = child_scale(-2.0f * lean, shrink);
    const auto grey = static_cast<uint32_t>(leaf_gray) & 0xFF;
    tree_params.leaf_color = 0xFF000000u + grey * 0x010101u;
    // The trunk always branches, so the copy is never scaled.
    Mat4 trunk = *base;
    draw_branch(&trunk, 0);
}

void draw_branch(Mat4* m, int32_t depth)
{
    gu_load_matrix(GU_MODEL, m);
    gu_enable(GU_CULL_FACE);
    bind_texture_slot(TEXTURE_SLOT_BARK);
    gu_draw_array(GU_TRIANGLE_STRIP, GU_TEXTURE_32BITF | GU_VERTEX_32BITF, kTrunkRecords, nullptr,
                  trunk_strip);
    if (depth >= kTreeDepth) {
        draw_leaf_cluster(m);
        return;
    }
    // Applied to a point of the child's segment: scale, tilt about z, turn
    // about y, lift along the parent, then the parent's whole transform.
    const float yaw = static_cast<float>(depth) + tree_params.twist;
    for (int i = 0; i < 2; ++i) {
        Mat4 child = *m;
        mat_translate(&child, 0.0f, kChildLift, 0.0f);
        mat_rotate_y_z_scale(&child, yaw, tree_params.roll[i], tree_params.scale[i]);
        draw_branch(&child, depth + 1);
    }
}
