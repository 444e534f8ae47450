// CTova: the custom properties through which the editor and the hosts reach the engine beyond
// its parameters: memory use, erase all, the stopped flag, import and MIDI-learn arming. The
// frame's in-place property is hidden, so that no host switches the unit to in-place work.

#include "engine/CTova.h"

#include <cstring>
#include <string>

namespace
{
// The longest path an import takes, with its terminating zero (the system's PATH_MAX).
constexpr UInt32 kMaxImportPathBytes = 4096;
constexpr float kPercentTenthsPerFrame = 0.0002f; // 1000 / 5000000
} // namespace

OSStatus CTova::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                AudioUnitElement element, UInt32& outDataSize, Boolean& outWritable)
{
    switch (id)
    {
    case kAudioUnitProperty_InPlaceProcessing:
        return kAudioUnitErr_InvalidProperty;
    case kTovaProperty_MemoryUse:
    case kTovaProperty_EraseAll:
    case kTovaProperty_Stopped:
    case kTovaProperty_MIDILearn:
        // Also "writable" for the two that only read: what the editor has always been told.
        outDataSize = sizeof(UInt32);
        outWritable = true;
        return noErr;
    case kTovaProperty_ImportWithTempo:
    case kTovaProperty_Import:
        outDataSize = kMaxImportPathBytes;
        outWritable = true;
        return noErr;
    default:
        return AUMIDIEffectBase::GetPropertyInfo(id, scope, element, outDataSize, outWritable);
    }
}

OSStatus CTova::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                            void* outData)
{
    switch (id)
    {
    case kAudioUnitProperty_InPlaceProcessing:
        return kAudioUnitErr_InvalidProperty;
    case kTovaProperty_MemoryUse:
    {
        const UInt32 use = MemoryUse();
        std::memcpy(outData, &use, sizeof use);
        return noErr;
    }
    case kTovaProperty_Stopped:
    {
        const UInt32 stopped = IsStopped() ? 1 : 0;
        std::memcpy(outData, &stopped, sizeof stopped);
        return noErr;
    }
    case kTovaProperty_MIDILearn:
    {
        const SInt32 learn = mLearnParam.load();
        std::memcpy(outData, &learn, sizeof learn);
        return noErr;
    }
    default:
        return AUMIDIEffectBase::GetProperty(id, scope, element, outData);
    }
}

OSStatus CTova::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                            const void* inData, UInt32 inDataSize)
{
    switch (id)
    {
    case kAudioUnitProperty_InPlaceProcessing:
        return kAudioUnitErr_InvalidProperty;
    case kTovaProperty_EraseAll:
        EraseAllSamples();
        return noErr;
    case kTovaProperty_ImportWithTempo:
    case kTovaProperty_Import:
    {
        // A path, with or without its terminating zero, and no zero inside.
        std::string path(static_cast<const char*>(inData), inDataSize);
        if (!path.empty() && path.back() == '\0') path.pop_back();
        if (path.empty() || path.size() >= kMaxImportPathBytes ||
            path.find('\0') != std::string::npos)
            return kAudio_ParamError;
        return ImportFile(path, id == kTovaProperty_ImportWithTempo);
    }
    case kTovaProperty_MIDILearn:
    {
        SInt32 learn = 0;
        if (inDataSize < sizeof learn) return kAudio_ParamError;
        std::memcpy(&learn, inData, sizeof learn);
        return ArmLearn(learn);
    }
    default:
        return AUMIDIEffectBase::SetProperty(id, scope, element, inData, inDataSize);
    }
}

OSStatus CTova::ArmLearn(SInt32 id)
{
    const SInt16 armed = mLearnParam.load();
    if (id == armed)
    {
        // Armed twice: every binding of the parameter goes, and learn is off.
        for (int i = 0; i < kLearnSlots; ++i)
        {
            SInt16 expected = armed;
            mMIDICC[i].compare_exchange_strong(expected, kUnbound);
            expected = armed;
            mMIDINote[i].compare_exchange_strong(expected, kUnbound);
        }
        mLearnParam.store(kUnbound);
        return noErr;
    }
    // A control bound to any other id would look for a parameter the table does not have.
    if (id < kUnbound || id >= static_cast<SInt32>(kTovaParam_Count))
        return kAudioUnitErr_InvalidPropertyValue;
    mLearnParam.store(static_cast<SInt16>(id));
    return noErr;
}

UInt32 CTova::MemoryUse() const
{
    // In single precision throughout, as the meter has always shown it.
    const float tenths = static_cast<float>(mSampleFactory->Fill()) * kPercentTenthsPerFrame;
    return static_cast<UInt32>(tenths + 0.5f);
}
