// The pieces every scene is built from: texture binding, clear and fog, the
// additive leaf blend, and the three background elements (star dome, ground
// tiles, grass field). Each drawing routine first switches the states it
// relies on, then loads its world matrix and draws.
#pragma once

#include <cstdint>

#include "math/matrix.h"
#include "platform/platform.h"

// The colour last given to set_fog_and_clear; the leaf blend restores it as
// the fog colour when it switches off. 0 before the first frame.
extern D3DCOLOR fog_color;

// Binds texture_slots[slot] (no bounds test) to stage 0 with linear
// filtering; an empty slot unbinds the stage.
void bind_texture_slot(int32_t slot);

// Clears colour and depth to color and sets linear fog from fog_start to
// fog_end in that same colour.
void set_fog_and_clear(D3DCOLOR color, float fog_start, float fog_end);

// on (only its low byte counts): add the source colour times factor to the
// frame, write no depth, fog towards black. Off: back to opaque drawing with
// the scene's fog colour; factor is not used.
void set_additive_blend(int32_t on, D3DCOLOR factor);

// The stars around the eye, behind everything drawn later.
void draw_sky_dome(const Vec3* eye);

// Tiles of 2 x 2 units for tile indices x_from..x_to-1 and z_from..z_to-1,
// rows of constant z one after another.
void draw_ground(int32_t x_from, int32_t x_to, int32_t z_from, int32_t z_to);

// The grass field, alpha-tested.
void draw_grass();
