// CTova: construction, lifecycle and the frame operations that describe the unit.

#include "engine/CTova.h"

#include "engine/CHostCheck.h"
#include "samples/CSampleFactory.h"
#include "samples/CVoicer.h"

namespace
{
// Two channels in and two out, on every bus.
constexpr AUChannelInfo kChannelConfig{2, 2};
} // namespace

CTova::CTova(ComponentInstanceRecord* instance)
    : AUMIDIEffectBase(instance, false),
      mSampleFactory(new CSampleFactory(kPoolFrames, kPoolSamples)),
      mVoicers(new CVoicer[kNumOutputBuses]{CVoicer(kVoicesPerBus), CVoicer(kVoicesPerBus),
                                            CVoicer(kVoicesPerBus), CVoicer(kVoicesPerBus)}),
      mGlobals(Globals())
{
    SetWantsRenderThreadID(true);
    SetMaxFramesPerSlice(kMaxFramesPerSlice);
    // Decided once per process, here rather than on the render thread.
    CHostCheck::TransportStateProcIsSafe();
    LoadPreferences();
    OpenMIDIFeedback();
    // Straight into the frame: no side effects, no notifications, so the reverb keeps its own
    // construction settings until a reverb parameter is set.
    for (AudioUnitParameterID id = 0; id < kTovaParam_Count; ++id)
        mGlobals->SetParameter(id, s_asParInfo[id].defaultValue);
    mStopped.store(0, std::memory_order_relaxed);
    Reset(kAudioUnitScope_Global, 0);
}

CTova::~CTova()
{
    SavePreferences();
    CloseMIDIFeedback();
    // The keys' samples live in the pool, which goes first: drop them without releasing.
    for (CKeyInfo& key : mKeys)
        key.Reset();
}

UInt32 CTova::Version()
{
    return kVersion;
}

void CTova::PostConstructor()
{
    AUMIDIEffectBase::PostConstructor();
    SetBusCount(kAudioUnitScope_Input, 1);
    SetBusCount(kAudioUnitScope_Output, kNumOutputBuses);
}

OSStatus CTova::SetBusCount(AudioUnitScope scope, UInt32 count)
{
    if (scope == kAudioUnitScope_Output && count > kNumOutputBuses)
        return kAudioUnitErr_InvalidPropertyValue;
    return AUMIDIEffectBase::SetBusCount(scope, count);
}

OSStatus CTova::Initialize()
{
    {
        const Exclusive access(*this);
        mSampleRate = GetSampleRate();
    }
    return AUMIDIEffectBase::Initialize();
}

OSStatus CTova::Reset(AudioUnitScope, AudioUnitElement)
{
    const Exclusive access(*this);
    mTapeSpeed = Param(kTovaParam_TapeSpeed);
    mIsPlaying = false;
    mLastBeat = 0;
    mPriorKey = -1;
    mBeat = 0;
    mBoMotion = 0;
    mLastBo = 0;
    mScratchPos = 0;
    mScratchVel = 0;
    mPlayAfterRecord = 0;
    mSampleFactory->ResetLiveBuffer();
    AllNotesOff();
    for (CShifter& shifter : mShifters)
        shifter.Reset();
    mShifterTail.fill(0);
    mBoStill = 0;
    SaveSnapshot();
    return noErr;
}

Float64 CTova::GetLatency()
{
    return 0.0;
}

UInt32 CTova::SupportedNumChannels(const AUChannelInfo** outInfo)
{
    if (outInfo != nullptr) *outInfo = &kChannelConfig;
    return 1;
}

int CTova::GetNumCustomUIComponents()
{
    return 1;
}

void CTova::GetUIComponentDescs(ComponentDescription* inDescArray)
{
    if (inDescArray == nullptr) return;
    inDescArray[0].componentType = kAudioUnitCarbonViewComponentType;
    inDescArray[0].componentSubType = FourCharCode("Tova");
    inDescArray[0].componentManufacturer = FourCharCode("Qzpt");
    inDescArray[0].componentFlags = 0;
    inDescArray[0].componentFlagsMask = 0;
}

bool CTova::IsSilent() const
{
    for (UInt32 b = 0; b < kNumOutputBuses; ++b)
        if (mVoicers[b].Top() > 0 && !mVoicers[b].IsSilent()) return false;
    return true;
}

void CTova::AllNotesOff()
{
    mHeldCount = 0;
    for (UInt32 b = 0; b < kNumOutputBuses; ++b)
        if (mVoicers[b].Top() > 0) mVoicers[b].AllNotesOff();
    mFreezeState = 3;
}

AudioUnitParameterValue CTova::Param(AudioUnitParameterID id) const
{
    // Nothing clamps what hosts store; a NaN would poison every speed and position it reaches.
    const AudioUnitParameterValue value = mGlobals->GetParameter(id);
    return value == value || id >= kTovaParam_Count ? value : s_asParInfo[id].defaultValue;
}

CTova::Exclusive::Exclusive(CTova& tova) : mHold(tova.mToken)
{
    tova.DrainCommands();
}
