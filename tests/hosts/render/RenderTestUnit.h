#pragma once
// A test fixture around an open render test component, whose "Gain" (parameter 0) it reads and
// sets.

#include "RenderTestComponent.h"

#include <gtest/gtest.h>

class RenderTestUnit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(noErr, AudioComponentInstanceNew(&kRenderTestComponent, &mUnit));
    }
    void TearDown() override { AudioComponentInstanceDispose(mUnit); }

    AudioUnitParameterValue Gain() const
    {
        AudioUnitParameterValue value = 0;
        AudioUnitGetParameter(mUnit, 0, kAudioUnitScope_Global, 0, &value);
        return value;
    }
    void SetGain(AudioUnitParameterValue value)
    {
        ASSERT_EQ(noErr, AudioUnitSetParameter(mUnit, 0, kAudioUnitScope_Global, 0, value, 0));
    }

    AudioUnit mUnit = nullptr;
};
