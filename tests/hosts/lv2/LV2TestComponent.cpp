#include "LV2TestComponent.h"

#include "hosts/common/UnitCustomProperties.h"
#include "params/frame/ComponentEntryPoint.h"
#include "platform/AudioUnitProperties.h"
#include "platform/cf/CACFDictionary.h"

#include <cstring>
#include <string>
#include <sys/stat.h>

namespace
{
ComponentResult LV2TestEntry(ComponentParameters* params, void* storage)
{
    return ComponentEntryPoint<LV2TestComponent>::Dispatch(params, storage);
}

constexpr AudioUnitParameterID kGain = 0;
constexpr AudioUnitParameterID kMode = 1;
constexpr AudioUnitParameterID kArmed = 2;
constexpr AudioUnitParameterID kLock = 3;
constexpr AudioUnitParameterID kLearned = 4;

constexpr HostTestComponent::Parameter kParameters[] = {
    {"Gain", kAudioUnitParameterUnit_Generic, 0, 2, 1},
    {"Mode", kAudioUnitParameterUnit_Indexed, 0, 2, 1},
    {"Armed", kAudioUnitParameterUnit_Boolean, 0, 1, 0},
    {"Lock", kAudioUnitParameterUnit_Indexed, 0, 1, 0},
    {"Learned", kAudioUnitParameterUnit_Generic, 0, 1, 0},
};

using Property = UnitCustomProperties;

bool IsOwnProperty(AudioUnitPropertyID id)
{
    return (id >= Property::kMemoryUse && id <= Property::kImport) || id == Property::kMidiLearn;
}
} // namespace

const AudioComponentRegistration kLV2TestComponent{
    {kAudioUnitType_MusicEffect, FourCharCode("LV2t"), FourCharCode("Qzpt")},
    "LV2 test component",
    0x00010000,
    LV2TestEntry};

LV2TestComponent::LV2TestComponent(AudioComponentInstance instance)
    : HostTestComponent(instance, kParameters)
{
    if (MIDIClientCreate("LV2 test", nullptr, nullptr, &mClient) == noErr)
        MIDISourceCreate(mClient, "LV2 test", &mSource);
}

LV2TestComponent::~LV2TestComponent()
{
    if (mClient != 0) MIDIClientDispose(mClient);
}

OSStatus LV2TestComponent::GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                                    CFType* outStrings)
{
    if (scope != kAudioUnitScope_Global || id != kMode)
        return HostTestComponent::GetParameterValueStrings(scope, id, outStrings);
    if (outStrings != nullptr)
        *outStrings = CFType::Array(
            {CFType::String("Slow"), CFType::String("Medium"), CFType::String("Fast")});
    return noErr;
}

OSStatus LV2TestComponent::SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                        AudioUnitElement element, AudioUnitParameterValue value,
                                        UInt32 bufferOffsetInFrames)
{
    if (scope == kAudioUnitScope_Global && element == 0)
    {
        const bool wasStopped = Globals()->GetParameter(kGain) == 0;
        if (id == kLock && value > 0.5f) Globals()->SetParameter(kArmed, 0);
        if (id == kArmed && Globals()->GetParameter(kLock) > 0.5f) value = 0;
        if (id == kGain && wasStopped != (value == 0))
        {
            Globals()->SetParameter(id, value);
            PropertyChanged(Property::kStopped, kAudioUnitScope_Global, 0);
        }
    }
    return HostTestComponent::SetParameter(id, scope, element, value, bufferOffsetInFrames);
}

OSStatus LV2TestComponent::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                           AudioUnitElement element, UInt32& outDataSize,
                                           Boolean& outWritable)
{
    if (!IsOwnProperty(id))
        return HostTestComponent::GetPropertyInfo(id, scope, element, outDataSize, outWritable);
    outDataSize = id == Property::kImport || id == Property::kImportWithTempo ? 0 : sizeof(SInt32);
    outWritable = true;
    return noErr;
}

OSStatus LV2TestComponent::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                       AudioUnitElement element, void* outData)
{
    SInt32 value = 0;
    switch (id)
    {
    case Property::kMemoryUse:
        value = 100 * mImports.load();
        break;
    case Property::kStopped:
        value = Globals()->GetParameter(kGain) == 0 ? 1 : 0;
        break;
    case Property::kMidiLearn:
        value = mLearn.load();
        break;
    default:
        return HostTestComponent::GetProperty(id, scope, element, outData);
    }
    std::memcpy(outData, &value, sizeof value);
    return noErr;
}

OSStatus LV2TestComponent::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                       AudioUnitElement element, const void* inData,
                                       UInt32 inDataSize)
{
    switch (id)
    {
    case Property::kEraseAll:
        mImports = 0;
        return noErr;
    case Property::kImport:
    case Property::kImportWithTempo:
    {
        const std::string path(static_cast<const char*>(inData), inDataSize);
        struct stat info
        {
        };
        if (stat(path.c_str(), &info) != 0) return kAudioUnitErr_InvalidFile;
        ++mImports;
        return noErr;
    }
    case Property::kMidiLearn:
    {
        if (inDataSize != sizeof(SInt32)) return kAudio_ParamError;
        SInt32 value = 0;
        std::memcpy(&value, inData, sizeof value);
        mLearn = value;
        return noErr;
    }
    default:
        return HostTestComponent::SetProperty(id, scope, element, inData, inDataSize);
    }
}

OSStatus LV2TestComponent::SaveState(CFType* outData)
{
    if (const OSStatus status = HostTestComponent::SaveState(outData)) return status;
    CACFDictionary state(*outData);
    state.AddSInt32("test-imports", mImports.load());
    *outData = state.GetCFType();
    return noErr;
}

OSStatus LV2TestComponent::RestoreState(const CFType& plist)
{
    if (const OSStatus status = HostTestComponent::RestoreState(plist)) return status;
    SInt32 imports = 0;
    CACFDictionary(plist).GetSInt32("test-imports", imports);
    mImports = imports;
    return noErr;
}

OSStatus LV2TestComponent::RenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                                     const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames)
{
    if (bus == 0) GetInput(0)->PullInput(ioActionFlags, timeStamp, 0, frames);
    Float32* left = GetOutput(bus)->GetChannelData(0);
    Float32* right = GetOutput(bus)->GetChannelData(1);
    float l = 0;
    float r = 0;
    if (bus == 1)
    {
        Float64 beat = -1;
        Float64 tempo = -1;
        if (CallHostBeatAndTempo(&beat, &tempo) != noErr) beat = tempo = -1;
        l = static_cast<float>(beat);
        r = static_cast<float>(tempo);
    }
    else if (bus == 2)
    {
        Boolean playing = 0;
        Boolean changed = 0;
        Float64 sample = 0;
        Boolean cycling = 0;
        Float64 start = 0;
        Float64 end = 0;
        l = CallHostTransportState(&playing, &changed, &sample, &cycling, &start, &end) == noErr
                ? playing
                : -1.0f;
        r = static_cast<float>(frames);
    }
    else if (bus == 3)
    {
        UInt32 toNext = 0;
        Float32 numerator = -1;
        UInt32 denominator = 0;
        Float64 downBeat = 0;
        if (CallHostMusicalTimeLocation(&toNext, &numerator, &denominator, &downBeat) != noErr)
            numerator = -1;
        l = numerator;
        r = static_cast<float>(timeStamp.mSampleTime);
    }
    for (UInt32 i = 0; i < frames; ++i)
    {
        left[i] = l;
        right[i] = r;
    }
    if (bus == 0)
    {
        const Float32* in = GetInput(0)->GetChannelData(0);
        const Float32 gain = Globals()->GetParameter(kGain);
        for (UInt32 i = 0; i < frames; ++i)
            left[i] = in[i] * gain;
        for (std::size_t n = 0; n < mNoteCount; ++n)
            if (mNotes[n].offset < frames) right[mNotes[n].offset] = mNotes[n].note;
        mNoteCount = 0;
    }
    return noErr;
}

OSStatus LV2TestComponent::HandleNoteOn(UInt8, UInt8 note, UInt8, UInt32 offsetSampleFrame)
{
    if (mNoteCount < mNotes.size()) mNotes[mNoteCount++] = {note, offsetSampleFrame};
    return noErr;
}

OSStatus LV2TestComponent::HandleControlChange(UInt8, UInt8 controller, UInt8 value, UInt32)
{
    if (controller != 7) return noErr;
    Globals()->SetParameter(kLearned, value / 127.0f);
    MIDIPacketList list;
    const Byte note[] = {0x90, 60, value};
    MIDIPacketListAdd(&list, sizeof list, MIDIPacketListInit(&list), 0, sizeof note, note);
    MIDIReceived(mSource, &list);
    return noErr;
}
