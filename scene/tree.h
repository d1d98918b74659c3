// The tree: one trunk segment drawn again and again under a chain of
// transforms. Every segment carries two smaller children on its top, each
// turned about the vertical axis, tilted sideways and shrunk; after five
// generations every tip carries a glowing leaf cluster.
#pragma once

#include <cstdint>

#include "math/matrix.h"
#include "platform/platform.h"

// Per-tree parameters, set by draw_tree and read by every draw_branch.
struct TreeParams {
    float roll[2];        // sideways (z-axis) tilt of child 0 and child 1, radians
    float scale[2];       // size of child 0 and child 1 relative to their parent
    float twist;          // added to the depth to give each child's turn about y
    D3DCOLOR leaf_color;  // the leaves' blend factor: opaque grey
};
extern TreeParams tree_params;

// Generations below the tips: a tree is 63 segments and 32 leaf clusters.
inline constexpr int32_t kTreeDepth = 5;

// Draws a tree with base as its world matrix (not modified). Only the low
// 8 bits of leaf_gray are used.
void draw_tree(const Mat4* base, float twist, float lean, float spread, float shrink,
               int32_t leaf_gray);

// Draws the segment under m and, below kTreeDepth, its two children; at a
// tip, scales m by 5 in place and draws the leaf cluster.
void draw_branch(Mat4* m, int32_t depth);
