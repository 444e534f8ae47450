// CTova: the parameter table, value strings, the side effects of setting a parameter and the
// two notification helpers.

#include "engine/CTova.h"

#include "engine/SaturatingTrunc.h"
#include "platform/AudioUnitUtilities.h"

#include <string>

namespace
{
constexpr AudioUnitParameterOptions kRW = kAudioUnitParameterFlag_IsReadable |
                                          kAudioUnitParameterFlag_IsWritable |
                                          kAudioUnitParameterFlag_HasCFNameString;
constexpr AudioUnitParameterOptions kRWMeta = kRW | kAudioUnitParameterFlag_IsElementMeta;
constexpr AudioUnitParameterOptions kRO =
    kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_HasCFNameString;

constexpr AudioUnitParameterUnit kGeneric = kAudioUnitParameterUnit_Generic;
constexpr AudioUnitParameterUnit kIndexed = kAudioUnitParameterUnit_Indexed;
constexpr AudioUnitParameterUnit kBoolean = kAudioUnitParameterUnit_Boolean;

// One row: the name copied into the zero-filled name array and shared as the constant string.
constexpr AudioUnitParameterInfo Row(const char* name, AudioUnitParameterUnit unit, float min,
                                     float max, float def, AudioUnitParameterOptions flags)
{
    AudioUnitParameterInfo info;
    for (std::size_t i = 0; name[i] != '\0' && i + 1 < sizeof info.name; ++i)
        info.name[i] = name[i];
    info.cfNameString = name;
    info.unit = unit;
    info.minValue = min;
    info.maxValue = max;
    info.defaultValue = def;
    info.flags = flags;
    return info;
}

bool IsLockable(AudioUnitParameterID id)
{
    return id == kTovaParam_Recording || id == kTovaParam_Erasing || id == kTovaParam_Copying ||
           id == kTovaParam_Autolooper || id == kTovaParam_ToggleAutolooper;
}

CFType Strings(std::initializer_list<const char*> texts)
{
    CFArrayStorage items;
    for (const char* text : texts)
        items.push_back(CFType::String(text));
    return CFType::Array(std::move(items));
}

// "0", "1/8", "1/4", … "1", "1+1/8", … "3+7/8": a whole part, then the reduced fraction.
CFType DigiValueStrings()
{
    static constexpr const char* kEighths[8] = {"",    "1/8", "1/4", "3/8",
                                                "1/2", "5/8", "3/4", "7/8"};
    CFArrayStorage items;
    for (int i = 0; i < 32; ++i)
    {
        const int whole = i / 8;
        const int eighths = i % 8;
        std::string text;
        if (eighths == 0)
            text = std::to_string(whole);
        else if (whole == 0)
            text = kEighths[eighths];
        else
            text = std::to_string(whole) + "+" + kEighths[eighths];
        items.push_back(CFType::String(std::move(text)));
    }
    return CFType::Array(std::move(items));
}

// "none", then 32 × i frames for i = 1 … 64.
CFType BackInTimeStrings()
{
    CFArrayStorage items{CFType::String("none")};
    for (int i = 1; i <= 64; ++i)
        items.push_back(CFType::String(std::to_string(32 * i)));
    return CFType::Array(std::move(items));
}

// Each parameter's strings, built on first use (thread-safely) and kept for the process.
const CFType* ValueStrings(AudioUnitParameterID id)
{
    switch (id)
    {
    case kTovaParam_RecordSync:
    {
        static const CFType strings = Strings({"No Sync", "To Beat", "To Bar"});
        return &strings;
    }
    case kTovaParam_PlaybackSync:
    {
        static const CFType strings = Strings({"No Sync", "To Beat", "To Bar", "As Recorded"});
        return &strings;
    }
    case kTovaParam_PlayThru:
    {
        static const CFType strings = Strings({"Off", "Fill", "On", "Record"});
        return &strings;
    }
    case kTovaParam_DigiValue:
    {
        static const CFType strings = DigiValueStrings();
        return &strings;
    }
    case kTovaParam_BackInTime:
    {
        static const CFType strings = BackInTimeStrings();
        return &strings;
    }
    default:
        return nullptr;
    }
}
} // namespace

const AudioUnitParameterInfo CTova::s_asParInfo[kTovaParam_Count + 1] = {
    Row("Tape Speed", kAudioUnitParameterUnit_Ratio, 0, 10, 1, kRW),
    Row("Time", kGeneric, -4, 4, 0, kRW),
    Row("Pitch", kAudioUnitParameterUnit_RelativeSemiTones, -24, 24, 0, kRW),
    Row("Threshold", kAudioUnitParameterUnit_Decibels, -10, 0, -8, kRW),
    Row("Recording", kBoolean, 0, 1, 0, kRW),
    Row("Erasing", kBoolean, 0, 1, 0, kRW),
    Row("Tape smoothing", kGeneric, 0, 10, 0.1f, kRW),
    Row("Copying", kBoolean, 0, 1, 0, kRW),
    Row("Looping", kBoolean, 0, 1, 1, kRW),
    Row("Record Sync", kIndexed, 0, 2, 1, kRW),
    Row("Playback Sync", kIndexed, 0, 3, 3, kRW),
    Row("Play Thru", kIndexed, 0, 3, 1, kRW),
    Row("Legato", kBoolean, 0, 1, 0, kRW),
    Row("Digi 0", kBoolean, 0, 1, 0, kRWMeta),
    Row("Digi 1", kBoolean, 0, 1, 0, kRWMeta),
    Row("Digi 2", kBoolean, 0, 1, 0, kRWMeta),
    Row("Digi 3", kBoolean, 0, 1, 0, kRWMeta),
    Row("Digi 4", kBoolean, 0, 1, 0, kRWMeta),
    Row("Digi Value", kIndexed, 0, 31, 0, kRWMeta),
    Row("Rarorovaz", kGeneric, -1, 1, -1, kRW),
    Row("Bo", kGeneric, -1, 1, 0, kRW),
    Row("Autolooper", kBoolean, 0, 1, 0, kRWMeta),
    Row("All Sounds Off", kIndexed, 0, 1, 0, kRW),
    Row("Toggle Autolooper", kIndexed, 0, 1, 0, kRWMeta),
    Row("Stop Prior", kIndexed, 0, 1, 0, kRW),
    Row("Back In Time", kIndexed, 0, 64, 0, kRW),
    Row("Freeze", kIndexed, 0, 1, 0, kRW),
    Row("Reverb:Play Reverb", kIndexed, 0, 1, 0, kRO),
    Row("Reverb:Dry", kGeneric, 0, 2, 0, kRO),
    Row("Reverb:Wet", kGeneric, 0, 3, 2.1f, kRO),
    Row("Reverb:Room Size", kGeneric, 0.7f, 0.9f, 0.84f, kRO),
    Row("Reverb:Damp", kGeneric, 0, 100, 100, kRO),
    Row("Reverb:Width", kGeneric, 0, 100, 15, kRO),
    Row("Memory", kIndexed, 0, 5000000, 0, kRO),
    Row("Memory Lock", kIndexed, 0, 1, 0, kRWMeta),
    Row("LAST", kIndexed, 1, 2, 1, kAudioUnitParameterFlag_HasCFNameString),
};

OSStatus CTova::GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                 AudioUnitParameterInfo& outInfo)
{
    if (scope != kAudioUnitScope_Global || id >= kTovaParam_Count)
        return AUMIDIEffectBase::GetParameterInfo(scope, id, outInfo);
    outInfo = s_asParInfo[id];
    return noErr;
}

OSStatus CTova::GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                         CFType* outStrings)
{
    const CFType* strings = scope == kAudioUnitScope_Global ? ValueStrings(id) : nullptr;
    if (strings == nullptr) return kAudioUnitErr_InvalidProperty;
    if (outStrings != nullptr) *outStrings = *strings;
    return noErr;
}

OSStatus CTova::StoreParameter(AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value,
                               UInt32 offset)
{
    return AUMIDIEffectBase::SetParameter(id, scope, element, value, offset);
}

OSStatus CTova::SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                             AudioUnitElement element, AudioUnitParameterValue value, UInt32 offset)
{
    if (scope != kAudioUnitScope_Global || element != 0 || id < kTovaParam_Recording ||
        id > kTovaParam_MemoryLock)
        return StoreParameter(id, scope, element, value, offset);

    if (IsLockable(id) && Param(kTovaParam_MemoryLock) >= kOn)
    {
        // Refused, visibly: listeners see the attempt and then the parameter back at 0.
        StoreParameter(id, scope, element, value, offset);
        ParameterNotify(id);
        return StoreParameter(id, scope, element, 0.0f, offset);
    }

    switch (id)
    {
    case kTovaParam_Recording:
        if (value < kOn) Post(ECommand::StopRequest);
        Post(ECommand::EraseCountReset);
        break;
    case kTovaParam_Erasing:
        if (value > 0.5f && Param(kTovaParam_Erasing) < 0.5f) Post(ECommand::EraseEdge);
        break;
    case kTovaParam_Copying:
        Post(ECommand::CopyReset);
        break;
    case kTovaParam_Legato:
        Post(ECommand::LegatoReset);
        break;
    case kTovaParam_DigiValue:
        SetDigiValue(value, scope, element, offset);
        break;
    case kTovaParam_Autolooper:
        SetParameter(kTovaParam_Recording, scope, element, value, offset);
        ParameterNotify(kTovaParam_Recording);
        Post(ECommand::StopRequest);
        if (value > kOn) Post(ECommand::AutolooperArm);
        Post(ECommand::EraseCountReset);
        break;
    case kTovaParam_AllSoundsOff:
        if (value > kOn) Post(ECommand::AllNotesOff);
        break;
    case kTovaParam_ToggleAutolooper:
        if (value > kOn)
        {
            SetParameterNotify(kTovaParam_Autolooper,
                               Param(kTovaParam_Autolooper) > kOn ? 0.0f : 1.0f);
            ParameterNotify(kTovaParam_Autolooper);
        }
        break;
    case kTovaParam_Freeze:
        if (value > kOn)
            RequestFreeze(0);
        else if (value < kOn)
            RequestFreeze(1);
        break;
    case kTovaParam_ReverbDry:
    case kTovaParam_ReverbWet:
    case kTovaParam_ReverbRoomSize:
    case kTovaParam_ReverbDamp:
    case kTovaParam_ReverbWidth:
        RequestReverbSetting(static_cast<int>(id - kTovaParam_ReverbDry), value);
        break;
    case kTovaParam_MemoryLock:
        if (value > kOn)
        {
            // While the lock is still off, so that each takes its normal path.
            SetParameterNotify(kTovaParam_Recording, 0);
            SetParameterNotify(kTovaParam_ToggleAutolooper, 0);
            SetParameterNotify(kTovaParam_Copying, 0);
            SetParameterNotify(kTovaParam_Erasing, 0);
            Post(ECommand::EraseCountReset);
        }
        break;
    default:
        if (id >= kTovaParam_Digi0 && id <= kTovaParam_Digi4)
        {
            StoreParameter(id, scope, element, value, offset);
            SetDigiBit(scope, element, offset);
        }
        break;
    }
    return StoreParameter(id, scope, element, value, offset);
}

void CTova::SetDigiBit(AudioUnitScope scope, AudioUnitElement element, UInt32 offset)
{
    // In double: a bit parameter may hold any value, and the sum must not overflow.
    double digi = 0;
    for (int bit = 0; bit < 5; ++bit)
        digi += SaturatingTrunc(Param(kTovaParam_Digi0 + bit) + 0.0001) * double(1 << bit);
    StoreParameter(kTovaParam_DigiValue, scope, element, static_cast<float>(digi), offset);
    ParameterNotify(kTovaParam_DigiValue);
}

void CTova::SetDigiValue(AudioUnitParameterValue value, AudioUnitScope scope,
                         AudioUnitElement element, UInt32 offset)
{
    const int digi = SaturatingTrunc(value + 0.0001);
    for (int bit = 0; bit < 5; ++bit)
        StoreParameter(kTovaParam_Digi0 + bit, scope, element, (digi >> bit) & 1 ? 1.0f : 0.0f,
                       offset);
    for (int bit = 0; bit < 5; ++bit)
        ParameterNotify(kTovaParam_Digi0 + bit);
}

void CTova::SetParameterNotify(AudioUnitParameterID id, AudioUnitParameterValue value)
{
    const AudioUnitParameter parameter{GetComponentInstance(), id, kAudioUnitScope_Global, 0};
    AUParameterSet(nullptr, nullptr, &parameter, value, 0);
}

void CTova::ParameterNotify(AudioUnitParameterID id)
{
    const AudioUnitParameter parameter{GetComponentInstance(), id, kAudioUnitScope_Global, 0};
    AUParameterListenerNotify(nullptr, nullptr, &parameter);
}
