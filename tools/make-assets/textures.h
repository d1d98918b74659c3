#pragma once
// The four textures of the scene, painted procedurally: bark for every branch
// segment, a glowing leaf cluster for the additive leaf quads, a tileable
// ground and alpha-tested grass blades.

#include <array>
#include <cstdint>
#include <vector>

#include "dds_writer.h"
#include "image.h"

namespace assets {

// Bark: u wraps once around a segment, v runs from its bottom (0) to its top
// (1); a segment is twice as tall as it is round, so the fissures run along v.
// Tiles in both directions, since segments stack on one another.
Image paint_bark(int size);

// A cluster of glowing leaves on black. The leaves are drawn additively, so
// black adds nothing; the border is exactly black so the quad's edge never
// shows.
Image paint_leaf_cluster(int size);

// Dark forest floor: soil, moss and pebbles. Tiles in both directions.
Image paint_ground(int size);

// Grass blades standing on the bottom edge (v = 1) with their tips reaching up
// to v = 0.03125. Alpha is 255 inside the blades and 0 around them (the grass
// is alpha-tested at 64); transparent texels carry the blade colour so
// filtering leaves no dark fringe.
Image paint_grass(int size);

// The alpha-test threshold the scene draws the grass with.
inline constexpr int kGrassAlphaRef = 64;
// The texture row (in v) where the tallest blade's tip lies.
inline constexpr float kGrassTipV = 0.03125f;

struct TextureAsset {
    const char* file_name;
    int size;
    DdsFormat format;
    AlphaTest alpha_test;
    Image (*paint)(int size);
};

inline constexpr std::array<TextureAsset, 4> kTextureAssets = {{
    {"tree.dds", 256, DdsFormat::Dxt1, {}, paint_bark},
    {"leaf.dds", 256, DdsFormat::Dxt1, {}, paint_leaf_cluster},
    {"ground.dds", 512, DdsFormat::Dxt1, {}, paint_ground},
    {"grass.dds", 256, DdsFormat::Dxt5, {true, kGrassAlphaRef}, paint_grass},
}};

// Paints, builds the mip chain and encodes one texture file.
std::vector<uint8_t> make_texture_file(const TextureAsset& asset);

}  // namespace assets
