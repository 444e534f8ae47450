#include "hosts/lv2/LV2ParameterBridge.h"

#include <bit>

LV2ParameterBridge::LV2ParameterBridge(AudioUnit unit, std::vector<AudioUnitParameterID> ids)
    : mUnit(unit), mIds(std::move(ids)), mPorts(mIds.size(), nullptr),
      mPortValues(mIds.size(), kUnknown), mKnown(mIds.size(), kUnknown)
{
    for (std::uint32_t i = 0; i < Count(); ++i)
        mKnown[i] = Get(i);
}

bool LV2ParameterBridge::Same(float a, float b)
{
    // Bitwise: the unknown marker (a NaN) equals itself and differs from every value.
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

float LV2ParameterBridge::Get(std::uint32_t index) const
{
    AudioUnitParameterValue value = kUnknown;
    AudioUnitGetParameter(mUnit, mIds[index], kAudioUnitScope_Global, 0, &value);
    return value;
}

void LV2ParameterBridge::Set(std::uint32_t index, float value)
{
    AudioUnitSetParameter(mUnit, mIds[index], kAudioUnitScope_Global, 0, value, 0);
}

void LV2ParameterBridge::ApplyHostChanges()
{
    for (std::uint32_t i = 0; i < Count(); ++i)
    {
        if (mPorts[i] == nullptr) continue;
        const float value = *mPorts[i];
        if (Same(value, mPortValues[i])) continue;
        const bool firstSight = Same(mPortValues[i], kUnknown);
        mPortValues[i] = value;
        if (mTakePortsAsTheyAre || (firstSight && Same(value, Get(i)))) continue;
        Set(i, value);
        mKnown[i] = value;
    }
    mTakePortsAsTheyAre = false;
}

void LV2ParameterBridge::SetFromMessage(std::uint32_t index, float value)
{
    Set(index, value);
    mKnown[index] = kUnknown;
}

void LV2ParameterBridge::InvalidateAll()
{
    for (float& known : mKnown)
        known = kUnknown;
}

void LV2ParameterBridge::Report(LV2Output& output, const std::vector<LV2_URID>& properties)
{
    for (std::uint32_t i = 0; i < Count(); ++i)
    {
        const float value = Get(i);
        if (Same(value, mKnown[i])) continue;
        if (!output.SetFloat(properties[i], value)) return;
        mKnown[i] = value;
    }
}

void LV2ParameterBridge::Rebase()
{
    mTakePortsAsTheyAre = true;
    InvalidateAll();
}
