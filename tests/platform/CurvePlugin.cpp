#include "CurvePlugin.h"

#include "params/frame/ComponentEntryPoint.h"

namespace
{

struct Row
{
    AudioUnitParameterUnit unit;
    Float32 min;
    Float32 max;
    AudioUnitParameterOptions display;
};

constexpr Row kCurveRows[kCurveParameters] = {
    {kAudioUnitParameterUnit_Generic, 0, 10, 0},
    {kAudioUnitParameterUnit_Generic, 0, 100, kAudioUnitParameterFlag_DisplaySquareRoot},
    {kAudioUnitParameterUnit_Generic, 0, 100, kAudioUnitParameterFlag_DisplaySquared},
    {kAudioUnitParameterUnit_Generic, 0, 8, kAudioUnitParameterFlag_DisplayCubed},
    {kAudioUnitParameterUnit_Generic, 0, 8, kAudioUnitParameterFlag_DisplayCubeRoot},
    {kAudioUnitParameterUnit_Hertz, 20, 20000, kAudioUnitParameterFlag_DisplayLogarithmic},
    {kAudioUnitParameterUnit_Generic, 0, 1, kAudioUnitParameterFlag_DisplayExponential},
    {kAudioUnitParameterUnit_Generic, 0, 100, kAudioUnitParameterFlag_DisplayLogarithmic},
    {kAudioUnitParameterUnit_RelativeSemiTones, -24, 24, 0},
    {kAudioUnitParameterUnit_Generic, 0, 10000, 0},
    {kAudioUnitParameterUnit_Hertz, 20, 20000, 0},
};

ComponentResult CurvePluginEntry(ComponentParameters* params, void* storage)
{
    return ComponentEntryPoint<CurvePlugin>::Dispatch(params, storage);
}

} // namespace

const AudioComponentRegistration kCurvePluginRegistration{
    {kAudioUnitType_Effect, FourCharCode("Crve"), FourCharCode("Qzpt")},
    "Curves",
    1,
    CurvePluginEntry};

CurvePlugin::CurvePlugin(AudioComponentInstance instance) : AUEffectBase(instance)
{
    for (AudioUnitParameterID id = 0; id < kCurveParameters; ++id)
        Globals()->SetParameter(id, kCurveRows[id].min);
}

OSStatus CurvePlugin::GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                       AudioUnitParameterInfo& outInfo)
{
    if (scope != kAudioUnitScope_Global || id >= kCurveParameters)
        return AUEffectBase::GetParameterInfo(scope, id, outInfo);
    const Row& row = kCurveRows[id];
    outInfo.unit = row.unit;
    outInfo.minValue = row.min;
    outInfo.maxValue = row.max;
    outInfo.defaultValue = row.min;
    outInfo.flags =
        kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable | row.display;
    return noErr;
}

OSStatus CurvePlugin::RenderBus(AudioUnitRenderActionFlags&, const AudioTimeStamp&, UInt32, UInt32)
{
    return noErr;
}
