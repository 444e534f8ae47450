#pragma once
// An effect whose global parameters cover the display curves and units the parameter-listener
// service maps and formats. Parameter i is described by row i of kCurveRows.

#include "params/frame/AUEffectBase.h"

extern const AudioComponentRegistration kCurvePluginRegistration;

enum CurveParameter : AudioUnitParameterID
{
    kLinear10,      // 0 … 10
    kSquareRoot100, // 0 … 100, display square root
    kSquared100,    // 0 … 100, display squared
    kCubed8,        // 0 … 8, display cubed
    kCubeRoot8,     // 0 … 8, display cube root
    kLogHertz,      // 20 … 20000 Hz, display logarithmic
    kExponential1,  // 0 … 1, display exponential
    kLogFromZero,   // 0 … 100, display logarithmic (cannot be: min 0)
    kSemitones,     // −24 … 24
    kSpan10000,     // 0 … 10000
    kHertzLinear,   // 20 … 20000 Hz, no display flag
    kCurveParameters
};

class CurvePlugin : public AUEffectBase
{
public:
    explicit CurvePlugin(AudioComponentInstance instance);
    OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                              AudioUnitParameterInfo& outInfo) override;
    OSStatus RenderBus(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                       UInt32 bus, UInt32 frames) override;
};
