// CTova: MIDI learn. Notes, controllers and the pitch wheel are bound to parameters in tables
// shared by every instance of the process; a learned control moves its parameter through the
// parameter-set service, so the host and the editor see the change. With "Haptic" on, a
// controller that lands on or crosses the centre of its range answers with a short note on the
// virtual MIDI source, which a controller with motor faders or LEDs can feel.
//
// The tables are written by the MIDI handlers and the learn property on whatever threads those
// run, and read by every instance: each entry is an atomic of its own.

#include "engine/CTova.h"

#include "engine/SaturatingTrunc.h"
#include "params/TovaPreferenceKeys.h"
#include "platform/AudioUnitUtilities.h"
#include "platform/CFPreferences.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace
{
// Relative controllers step around this value; values outside the window turn them absolute.
constexpr int kCentre = 64;
constexpr int kRelativeLow = 40;
constexpr int kRelativeHigh = 87;
// Learned controls move in steps of 1/128 of the linear range; 127 reaches the top.
constexpr int kSteps = 128;
constexpr float kPitchWheelRange = 16384.0f;
// The feedback notes: 48 when a controller sits on the centre, 60 when it crosses it.
constexpr Byte kCentreNote = 48;
constexpr Byte kCrossingNote = 60;
constexpr Byte kFeedbackVelocity = 100;
constexpr UInt64 kFeedbackNanos = 50'000'000;
constexpr const char* kEndpointName = "Tovarine";

constexpr SInt16 NoBinding(std::size_t)
{
    return CTova::kUnbound;
}

constexpr SInt32 Relative(std::size_t)
{
    return 1;
}

constexpr SInt16 DefaultNoteBinding(std::size_t note)
{
    switch (note)
    {
    case 48:
        return kTovaParam_Recording;
    case 49:
        return kTovaParam_Erasing;
    case 50:
        return kTovaParam_Copying;
    default:
        return CTova::kUnbound;
    }
}

// A table of atomics built at compile time, so the defaults hold before any code runs.
template <typename T, std::size_t... I>
constexpr std::array<std::atomic<T>, sizeof...(I)> Table(T (*value)(std::size_t),
                                                         std::index_sequence<I...>)
{
    return {std::atomic<T>(value(I))...};
}

template <typename T>
void Fill(std::array<std::atomic<T>, CTova::kLearnSlots>& table, T (*value)(std::size_t))
{
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i].store(value(i));
}

void Send(MIDIEndpointRef source, Byte status, Byte note, MIDITimeStamp time)
{
    const Byte message[3] = {status, note, kFeedbackVelocity};
    MIDIPacketList list;
    MIDIPacket* packet = MIDIPacketListInit(&list);
    MIDIPacketListAdd(&list, sizeof list, packet, time, sizeof message, message);
    MIDIReceived(source, &list);
}
} // namespace

constinit std::array<std::atomic<SInt16>, CTova::kLearnSlots> CTova::mMIDICC =
    Table<SInt16>(NoBinding, std::make_index_sequence<kLearnSlots>{});
constinit std::array<std::atomic<SInt32>, CTova::kLearnSlots> CTova::mMIDICCIncremental =
    Table<SInt32>(Relative, std::make_index_sequence<kLearnSlots>{});
constinit std::array<std::atomic<SInt16>, CTova::kLearnSlots> CTova::mMIDINote =
    Table<SInt16>(DefaultNoteBinding, std::make_index_sequence<kLearnSlots>{});

void CTova::SetLearnDefaults()
{
    Fill(mMIDICC, NoBinding);
    Fill(mMIDICCIncremental, Relative);
    Fill(mMIDINote, DefaultNoteBinding);
}

int CTova::BoundParameter(const std::atomic<SInt16>& entry)
{
    // Preferences written by hand may name ids we do not have; such an entry binds nothing.
    const int id = entry.load();
    return id >= 0 && id < static_cast<int>(kTovaParam_Count) ? id : -1;
}

bool CTova::LearnInto(std::atomic<SInt16>& entry)
{
    if (mLearnParam.load() == kUnbound) return false;
    const SInt16 learn = mLearnParam.exchange(kUnbound);
    if (learn == kUnbound) return false;
    entry.store(entry.load() == learn ? kUnbound : learn);
    return true;
}

int CTova::LinearStep(int id, AudioUnitParameterValue value)
{
    const AudioUnitParameter parameter{GetComponentInstance(), static_cast<UInt32>(id),
                                       kAudioUnitScope_Global, 0};
    return SaturatingTrunc(AUParameterValueToLinear(value, &parameter) * kSteps + 0.5);
}

void CTova::SetLearnedParameter(int id, int value, int defaultStep)
{
    const AudioUnitParameter parameter{GetComponentInstance(), static_cast<UInt32>(id),
                                       kAudioUnitScope_Global, 0};
    // The default's own step gives the default exactly, so a control can always return to it.
    const AudioUnitParameterValue target =
        value == defaultStep
            ? s_asParInfo[id].defaultValue
            : AUParameterValueFromLinear(std::clamp(static_cast<float>(value) / kSteps, 0.0f, 1.0f),
                                         &parameter);
    AUParameterSet(nullptr, nullptr, &parameter, target, 0);
}

OSStatus CTova::HandleControlChange(UInt8, UInt8 controller, UInt8 value, UInt32)
{
    if (controller >= kNumKeys) return noErr;
    std::atomic<SInt16>& entry = mMIDICC[controller];
    std::atomic<SInt32>& incremental = mMIDICCIncremental[controller];
    if (LearnInto(entry)) incremental.store(1);
    const int id = BoundParameter(entry);
    if (id < 0) return noErr;

    const int defaultStep = LinearStep(id, s_asParInfo[id].defaultValue);
    const int current = LinearStep(id, Param(id));
    int v = value;
    // A value a relative controller never sends shows that this one is absolute, for good.
    if (v < kRelativeLow || v > kRelativeHigh) incremental.store(0);
    if (incremental.load() == 0)
    {
        if (v == kNumKeys - 1) v = kSteps;
    }
    else
        v = current + (v - kCentre);
    SetLearnedParameter(id, v, defaultStep);

    if (mHaptic == 0) return noErr;
    if (v == kCentre)
        SendFeedbackPair(kCentreNote);
    else if ((current <= kCentre && v > kCentre) || (current >= kCentre && v <= kCentre - 1))
        SendFeedbackPair(kCrossingNote);
    return noErr;
}

OSStatus CTova::HandlePitchWheel(UInt8, UInt8 lsb, UInt8 msb, UInt32)
{
    // The top of the wheel reaches the top of the parameter.
    const int high = msb == kNumKeys - 1 ? kSteps : msb;
    std::atomic<SInt16>& entry = mMIDICC[kPitchWheelSlot];
    if (LearnInto(entry)) mMIDICCIncremental[kPitchWheelSlot].store(0);
    const int id = BoundParameter(entry);
    if (id < 0) return noErr;
    const AudioUnitParameter parameter{GetComponentInstance(), static_cast<UInt32>(id),
                                       kAudioUnitScope_Global, 0};
    const float x =
        std::clamp(static_cast<float>(high * kSteps + lsb) / kPitchWheelRange, 0.0f, 1.0f);
    AUParameterSet(nullptr, nullptr, &parameter, AUParameterValueFromLinear(x, &parameter), 0);
    return noErr;
}

void CTova::SendFeedbackPair(Byte note)
{
    if (mMIDISource == 0) return;
    const MIDITimeStamp now = AudioGetCurrentHostTime();
    Send(mMIDISource, 0x90, note, now);
    Send(mMIDISource, 0x80, note, now + AudioConvertNanosToHostTime(kFeedbackNanos));
}

void CTova::OpenMIDIFeedback()
{
    mHaptic = CFPreferencesGetAppBooleanValue(kTovaHapticKey, kTovaPrefsAppID, nullptr) ? 1 : 0;
    // Without MIDI services the unit works on, only without feedback notes.
    if (const OSStatus status = MIDIClientCreate(kEndpointName, nullptr, this, &mMIDIClient))
        std::printf("MIDIClientCreate=%d\n", static_cast<int>(status));
    if (const OSStatus status = MIDISourceCreate(mMIDIClient, kEndpointName, &mMIDISource))
        std::printf("MIDISourceCreate=%d\n", static_cast<int>(status));
}

void CTova::CloseMIDIFeedback()
{
    if (mMIDISource != 0) MIDIEndpointDispose(mMIDISource);
    if (mMIDIClient != 0) MIDIClientDispose(mMIDIClient);
    mMIDISource = 0;
    mMIDIClient = 0;
}
