// Linear positions and text for parameter values.

#include "CurvePlugin.h"

#include "platform/AudioUnitUtilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace
{

class Curves : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(noErr, AudioComponentInstanceNew(&kCurvePluginRegistration, &mUnit));
    }
    void TearDown() override { AudioComponentInstanceDispose(mUnit); }

    AudioUnitParameter Parameter(AudioUnitParameterID id) const
    {
        return {mUnit, id, kAudioUnitScope_Global, 0};
    }
    Float32 FromLinear(AudioUnitParameterID id, Float32 x) const
    {
        const AudioUnitParameter p = Parameter(id);
        return AUParameterValueFromLinear(x, &p);
    }
    Float32 ToLinear(AudioUnitParameterID id, Float32 value) const
    {
        const AudioUnitParameter p = Parameter(id);
        return AUParameterValueToLinear(value, &p);
    }
    std::string Format(AudioUnitParameterID id, Float64 value, UInt32 digits) const
    {
        const AudioUnitParameter p = Parameter(id);
        char text[kAUParameterFormatValueBufferSize];
        EXPECT_EQ(text, AUParameterFormatValue(value, &p, text, digits));
        return text;
    }

    AudioUnit mUnit = nullptr;
};

} // namespace

TEST_F(Curves, PositionsFollowTheDisplayCurveAndRoundTrip)
{
    EXPECT_FLOAT_EQ(2.5f, FromLinear(kLinear10, 0.25f));  // 0 + 0.25 × 10
    EXPECT_FLOAT_EQ(0.75f, ToLinear(kLinear10, 7.5f));    // 7.5 / 10
    EXPECT_FLOAT_EQ(0.0f, FromLinear(kSemitones, 0.5f));  // −24 + 0.5 × 48
    EXPECT_FLOAT_EQ(0.25f, ToLinear(kSemitones, -12.0f)); // (−12 + 24) / 48
    // Positions and values outside the range are clamped to it.
    EXPECT_FLOAT_EQ(10.0f, FromLinear(kLinear10, 1.5f));
    EXPECT_FLOAT_EQ(0.0f, FromLinear(kLinear10, -0.5f));
    EXPECT_FLOAT_EQ(0.0f, ToLinear(kLinear10, -3.0f));
    EXPECT_FLOAT_EQ(1.0f, ToLinear(kLinear10, 30.0f));
    struct Case
    {
        const char* what;
        AudioUnitParameterID id;
        Float32 position;
        Float32 value;
    };
    const Case cases[] = {
        {"square root: 100 × 0.5²", kSquareRoot100, 0.5f, 25.0f},
        {"squared: 100 × √0.25", kSquared100, 0.25f, 50.0f},
        {"cubed: 8 × ∛0.125", kCubed8, 0.125f, 4.0f},
        {"cube root: 8 × 0.5³", kCubeRoot8, 0.5f, 1.0f},
        {"logarithmic: 20 × 1000^(1/3)", kLogHertz, 1.0f / 3.0f, 200.0f},
        {"exponential: (e^0.5 − 1) / (e − 1) = 0.3775407", kExponential1, 0.37754067f, 0.5f},
        {"logarithmic from 0 falls back to linear", kLogFromZero, 0.3f, 30.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(c.value, FromLinear(c.id, c.position), 1e-4f * (1.0f + c.value));
        EXPECT_NEAR(c.position, ToLinear(c.id, c.value), 1e-5f);
    }
    // 20 × 1000^0.5 = 632.4555 Hz in the middle of the slider.
    EXPECT_NEAR(632.4555f, FromLinear(kLogHertz, 0.5f), 1e-3f);
    for (AudioUnitParameterID id = 0; id < kCurveParameters; ++id)
        for (const Float32 x : {0.0f, 0.1f, 0.37f, 0.5f, 0.93f, 1.0f})
        {
            SCOPED_TRACE(std::to_string(id) + " at " + std::to_string(x));
            EXPECT_NEAR(x, ToLinear(id, FromLinear(id, x)), 2e-6f);
        }
    EXPECT_EQ(0.3f, FromLinear(99, 0.3f));
    EXPECT_EQ(42.0f, ToLinear(99, 42.0f));
    EXPECT_EQ(0.3f, AUParameterValueFromLinear(0.3f, nullptr));
}

TEST_F(Curves, FormatsToTheResolutionOfTheSpanWithinTheBuffer)
{
    struct Case
    {
        const char* what;
        AudioUnitParameterID id;
        Float64 value;
        UInt32 digits;
        const char* text;
    };
    const Case cases[] = {
        // 3 digits − power of ten of the span − 1 decimals.
        {"span 10: power 1, 1 decimal", kLinear10, 2.36, 3, "2.4"},
        {"span 100: power 2, no decimal", kSquareRoot100, 42.7, 3, "43"},
        {"span 10000: power 4, rounded to hundreds", kSpan10000, 12345.0, 3, "12300"},
        {"span 8: power 0, 2 decimals", kCubed8, 1.0 / 3.0, 3, "0.33"},
        {"span 48: power 1, 2 digits give none", kSemitones, -7.4, 2, "-7"},
        {"frequency: power of the value, 440 → none", kLogHertz, 440.0, 3, "440"},
        {"frequency: 1234.5 rounded to tens", kHertzLinear, 1234.5, 3, "1230"},
        {"frequency: 63.37 keeps 1 decimal", kLogHertz, 63.37, 3, "63.4"},
        {"a negative value that rounds to zero", kLinear10, -0.01, 3, "0.0"},
        {"unknown parameter: power of the value", 99, 5.5, 3, "5.50"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.text, Format(c.id, c.value, c.digits));
    }
    char text[kAUParameterFormatValueBufferSize + 8];
    std::memset(text, 'x', sizeof(text));
    const AudioUnitParameter p = Parameter(kSpan10000);
    for (const Float64 value : {1e300, -1e300, 1e14, 3.0, std::nan("")})
    {
        AUParameterFormatValue(value, &p, text, 400);
        EXPECT_LT(std::strlen(text), kAUParameterFormatValueBufferSize);
        EXPECT_EQ('x', text[kAUParameterFormatValueBufferSize]); // past the end: untouched
    }
}
