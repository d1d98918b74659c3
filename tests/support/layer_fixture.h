// A recording device attached to the GU layer for each test, with the calls
// of attaching already cleared.
#pragma once

#include <gtest/gtest.h>

#include "gu/gu.h"
#include "host/recording/recording_device.h"
#include "tests/support/device_calls.h"

class LayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gu_attach_device(&device);
        device.clear_calls();
    }

    const std::vector<DeviceCall>& calls() const { return device.calls(); }

    RecordingDevice device;
};
