// A recording device with the demo's textures in their slots and the scene
// generated on it, as the shell leaves things before the first frame.
#pragma once

#include <gtest/gtest.h>

#include "scene/geometry.h"
#include "scene/scene.h"
#include "tests/support/layer_fixture.h"

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        texture_slots[TEXTURE_SLOT_BARK] = &bark;
        texture_slots[TEXTURE_SLOT_LEAF] = &leaf;
        texture_slots[TEXTURE_SLOT_GROUND] = &ground;
        texture_slots[TEXTURE_SLOT_UNUSED] = nullptr;
        texture_slots[TEXTURE_SLOT_GRASS] = &grass;
        gu_attach_device(&device);
        random15_state = 1;  // as at program start, whatever ran before in this process
        scene_init();
        device.clear_calls();
    }

    void TearDown() override
    {
        for (IDirect3DTexture9*& slot : texture_slots) {
            slot = nullptr;
        }
    }

    const std::vector<DeviceCall>& calls() const { return device.calls(); }

    RecordingDevice device;
    RecordingTexture bark{"tree.dds"};
    RecordingTexture leaf{"leaf.dds"};
    RecordingTexture ground{"ground.dds"};
    RecordingTexture grass{"grass.dds"};
};
