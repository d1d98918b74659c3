// Start-up geometry: one tapered trunk segment, 4096 grass tufts, a dome of
// 4096 stars, a leaf cluster of two crossed quads and the constant ground
// tile. Filled once by scene_init, only read afterwards.
#pragma once

#include <cstdint>

// Texture coordinates and position: the layer's vertex format 0x183.
struct SceneVertex {
    float u, v;
    float x, y, z;
};
static_assert(sizeof(SceneVertex) == 20);

// Colour (0xAARRGGBB) and position: the layer's vertex format 0x19C.
struct StarVertex {
    uint32_t color;
    float x, y, z;
};
static_assert(sizeof(StarVertex) == 16);

inline constexpr int kTrunkRecords = 58;
inline constexpr int kGrassTufts = 4096;
inline constexpr int kGrassRecords = 8 * kGrassTufts;
inline constexpr int kGrassIndices = 12 * kGrassTufts;
inline constexpr int kStars = 4096;
inline constexpr int kLeafRecords = 8;
inline constexpr int kLeafIndices = 12;
inline constexpr int kGroundRecords = 4;

extern SceneVertex trunk_strip[kTrunkRecords];
extern SceneVertex grass_records[kGrassRecords];
extern uint16_t grass_indices[kGrassIndices];
extern StarVertex star_records[kStars];
extern SceneVertex leaf_records[kLeafRecords];
extern uint16_t leaf_indices[kLeafIndices];
extern const SceneVertex ground_quad[kGroundRecords];

// The process-wide generator's state: 1 at start, never reseeded.
extern uint32_t random15_state;

// Advances the generator one step and returns a value in 0..32767.
int32_t random15();

void build_trunk();
void build_grass();
void build_star_dome();
void build_leaf_quads();
