// The scene as the application shell sees it: start-up generation, one frame
// drawn from the music position, and the texture slots the shell fills.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Texture slots: the shell loads each file into its slot before scene_init
// and releases every non-empty slot at shutdown. An empty slot draws its
// geometry untextured; slot 3 is never loaded.
enum : int {
    TEXTURE_SLOT_BARK = 0,    // "tree.dds", every branch segment
    TEXTURE_SLOT_LEAF = 1,    // "leaf.dds", the leaf clusters
    TEXTURE_SLOT_GROUND = 2,  // "ground.dds", the ground tiles
    TEXTURE_SLOT_UNUSED = 3,  // always empty
    TEXTURE_SLOT_GRASS = 4,   // "grass.dds", the grass tufts
    TEXTURE_SLOT_COUNT = 5,
};
extern IDirect3DTexture9* texture_slots[TEXTURE_SLOT_COUNT];

// The file each slot is loaded from, in the order the shell loads them.
struct TextureFile {
    int slot;
    const char* name;
};
inline constexpr TextureFile kTextureFiles[] = {
    {TEXTURE_SLOT_BARK, "tree.dds"},
    {TEXTURE_SLOT_GRASS, "grass.dds"},
    {TEXTURE_SLOT_GROUND, "ground.dds"},
    {TEXTURE_SLOT_LEAF, "leaf.dds"},
};

// The low 32 bits of the music stream's playback position in bytes of
// decoded audio, stored by the frame loop before each render_frame.
extern int32_t music_pos;

// The start-up render states, the first step of scene_init. A device Reset
// returns every state to its default: after one, gu_attach_device and this
// bring the device back to where scene_init left it, and the next frame is
// drawn as on the device before.
void set_startup_states();

// Sets the start-up render states and generates every piece of geometry.
// Call once, after gu_attach_device. Returns the byte position at which the
// music starts (always 0).
int32_t scene_init();

// Draws the frame for music_pos: the projection, then one of five scenes.
// Call between BeginScene and EndScene.
void render_frame();
