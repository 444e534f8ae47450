// AUBase: construction, lifecycle, elements, parameters, buffers and host callbacks.

#include "params/frame/AUBase.h"

#include <algorithm>
#include <cmath>

namespace
{
// Hosts may raise the limit through the maximum-frames property.
constexpr UInt32 kDefaultMaxFramesPerSlice = 1156;
constexpr Float64 kDefaultSampleRate = 44100;
} // namespace

AUBase::AUBase(AudioComponentInstance instance, UInt32 numInputElements, UInt32 numOutputElements,
               UInt32 numGroupElements)
    : mComponentInstance(instance), mInitialInputs(numInputElements),
      mInitialOutputs(numOutputElements), mInitialGroups(numGroupElements),
      mGlobalScope(*this, kAudioUnitScope_Global), mInputScope(*this, kAudioUnitScope_Input),
      mOutputScope(*this, kAudioUnitScope_Output), mGroupScope(*this, kAudioUnitScope_Group),
      mMaxFramesPerSlice(kDefaultMaxFramesPerSlice)
{
    // The global element exists from the start so that a plug-in's constructor can set its
    // parameters; the buses follow in PostConstructor, where CreateElement reaches overrides.
    mGlobalScope.SetNumberOfElements(1);
    mCurrentPreset.presetName = "Untitled";
}

AUBase::~AUBase() = default;

UInt32 AUBase::Version()
{
    return mComponentInstance->component->version;
}

void AUBase::PostConstructor()
{
    mInputScope.SetNumberOfElements(mInitialInputs);
    mOutputScope.SetNumberOfElements(mInitialOutputs);
    mGroupScope.SetNumberOfElements(mInitialGroups);
}

void AUBase::PreDestructor()
{
    DoCleanup();
}

OSStatus AUBase::Initialize()
{
    return noErr;
}

void AUBase::Cleanup() {}

OSStatus AUBase::Reset(AudioUnitScope, AudioUnitElement)
{
    return noErr;
}

OSStatus AUBase::DoInitialize()
{
    if (IsInitialized()) return noErr;
    ReallocateBuffers();
    const OSStatus result = Initialize();
    if (result == noErr) mInitialized.store(true, std::memory_order_release);
    return result;
}

void AUBase::DoCleanup()
{
    if (!IsInitialized()) return;
    Cleanup();
    mInitialized.store(false, std::memory_order_release);
}

const AudioComponentDescription& AUBase::GetComponentDescription() const
{
    return mComponentInstance->component->description;
}

AUScope& AUBase::GetScope(AudioUnitScope scope)
{
    switch (scope)
    {
    case kAudioUnitScope_Global:
        return mGlobalScope;
    case kAudioUnitScope_Input:
        return mInputScope;
    case kAudioUnitScope_Output:
        return mOutputScope;
    case kAudioUnitScope_Group:
        return mGroupScope;
    default:
        throw kAudioUnitErr_InvalidScope;
    }
}

AUElement* AUBase::GetElement(AudioUnitScope scope, AudioUnitElement element)
{
    return GetScope(scope).GetElement(element);
}

AUElement* AUBase::SafeGetElement(AudioUnitScope scope, AudioUnitElement element)
{
    return GetScope(scope).SafeGetElement(element);
}

AUInputElement* AUBase::GetInput(AudioUnitElement element)
{
    return static_cast<AUInputElement*>(mInputScope.GetIOElement(element));
}

AUOutputElement* AUBase::GetOutput(AudioUnitElement element)
{
    return static_cast<AUOutputElement*>(mOutputScope.GetIOElement(element));
}

OSStatus AUBase::FindElement(AudioUnitScope scope, AudioUnitElement element, AUElement*& outElement)
{
    if (scope > kAudioUnitScope_Group) return kAudioUnitErr_InvalidScope;
    outElement = GetScope(scope).GetElement(element);
    return outElement != nullptr ? noErr : kAudioUnitErr_InvalidElement;
}

std::unique_ptr<AUElement> AUBase::CreateElement(AudioUnitScope scope, AudioUnitElement)
{
    switch (scope)
    {
    case kAudioUnitScope_Input:
        return std::make_unique<AUInputElement>();
    case kAudioUnitScope_Output:
        return std::make_unique<AUOutputElement>();
    default:
        return std::make_unique<AUElement>();
    }
}

bool AUBase::BusCountWritable(AudioUnitScope)
{
    return false;
}

OSStatus AUBase::SetBusCount(AudioUnitScope scope, UInt32 count)
{
    if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output &&
        scope != kAudioUnitScope_Group)
        return kAudioUnitErr_InvalidScope;
    if (IsInitialized()) return kAudioUnitErr_Initialized;
    GetScope(scope).SetNumberOfElements(count);
    return noErr;
}

OSStatus AUBase::SetConnection(const AudioUnitConnection& connection)
{
    GetInput(connection.destInputNumber)->SetConnection(connection);
    PropertyChanged(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input,
                    connection.destInputNumber);
    return noErr;
}

OSStatus AUBase::SetInputCallback(AudioUnitPropertyID propertyID, AudioUnitElement element,
                                  AURenderCallback proc, void* refCon)
{
    GetInput(element)->SetInputCallback(proc, refCon);
    PropertyChanged(propertyID, kAudioUnitScope_Input, element);
    return noErr;
}

OSStatus AUBase::GetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                              AudioUnitElement element, AudioUnitParameterValue& outValue)
{
    AUElement* found = nullptr;
    if (const OSStatus result = FindElement(scope, element, found)) return result;
    return found->TryGetParameter(id, outValue) ? noErr : kAudioUnitErr_InvalidParameter;
}

OSStatus AUBase::SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                              AudioUnitElement element, AudioUnitParameterValue value, UInt32)
{
    AUElement* found = nullptr;
    if (const OSStatus result = FindElement(scope, element, found)) return result;
    return found->TrySetParameter(id, value) ? noErr : kAudioUnitErr_InvalidParameter;
}

OSStatus AUBase::ScheduleParameter(const AudioUnitParameterEvent* events, UInt32 numEvents)
{
    for (UInt32 i = 0; i < numEvents; ++i)
    {
        const AudioUnitParameterEvent& event = events[i];
        switch (event.eventType)
        {
        case kParameterEvent_Immediate:
            if (const OSStatus result = SetParameter(event.parameter, event.scope, event.element,
                                                     event.eventValues.immediate.value,
                                                     event.eventValues.immediate.bufferOffset))
                return result;
            break;
        case kParameterEvent_Ramped:
            mRampedEvents.TryPush(event); // a full queue drops it: nobody applies ramps
            break;
        default:
            return kAudio_ParamError;
        }
    }
    return noErr;
}

OSStatus AUBase::GetParameterList(AudioUnitScope scope, AudioUnitParameterID* outList,
                                  UInt32& outNumParameters)
{
    AUScope& s = GetScope(scope);
    AUElement* richest = nullptr;
    for (UInt32 i = 0; i < s.GetNumberOfElements(); ++i)
        if (richest == nullptr ||
            s.GetElement(i)->GetNumberOfParameters() > richest->GetNumberOfParameters())
            richest = s.GetElement(i);
    if (richest == nullptr)
    {
        outNumParameters = 0;
        return noErr;
    }
    const std::vector<AudioUnitParameterID> ids = richest->GetParameterIDs();
    if (outList != nullptr)
        std::copy_n(ids.begin(), std::min<std::size_t>(ids.size(), outNumParameters), outList);
    outNumParameters = static_cast<UInt32>(ids.size());
    return noErr;
}

OSStatus AUBase::GetParameterInfo(AudioUnitScope, AudioUnitParameterID, AudioUnitParameterInfo&)
{
    return kAudioUnitErr_InvalidParameter;
}

OSStatus AUBase::GetParameterValueStrings(AudioUnitScope, AudioUnitParameterID, CFType*)
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::GetPresets(std::vector<AUPreset>*) const
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::NewFactoryPresetSet(const AUPreset&)
{
    return kAudioUnitErr_InvalidProperty;
}

int AUBase::GetNumCustomUIComponents()
{
    return 0;
}

void AUBase::GetUIComponentDescs(ComponentDescription*) {}

Float64 AUBase::GetLatency()
{
    return 0;
}

Float64 AUBase::GetTailTime()
{
    return 0;
}

bool AUBase::SupportsTail()
{
    return false;
}

UInt32 AUBase::SupportedNumChannels(const AUChannelInfo** outInfo)
{
    if (outInfo != nullptr) *outInfo = nullptr;
    return 0;
}

bool AUBase::ValidFormat(AudioUnitScope, AudioUnitElement,
                         const AudioStreamBasicDescription& format)
{
    const AudioStreamBasicDescription canonical =
        CanonicalStreamFormat(format.mSampleRate, format.mChannelsPerFrame);
    return format == canonical && std::isfinite(format.mSampleRate) && format.mSampleRate > 0 &&
           format.mChannelsPerFrame >= 1 && format.mChannelsPerFrame <= kAudioBufferListCapacity;
}

AudioStreamBasicDescription AUBase::GetStreamFormat(AudioUnitScope scope, AudioUnitElement element)
{
    if (scope == kAudioUnitScope_Global) return GetOutput(0)->GetStreamFormat();
    return GetScope(scope).GetIOElement(element)->GetStreamFormat();
}

OSStatus AUBase::ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription&,
                                    const AudioStreamBasicDescription& format)
{
    if (scope == kAudioUnitScope_Global)
        GetOutput(0)->SetStreamFormat(format);
    else
        GetScope(scope).GetIOElement(element)->SetStreamFormat(format);
    return noErr;
}

void AUBase::ReallocateBuffers()
{
    const UInt32 maxFrames = GetMaxFramesPerSlice();
    for (AUScope* scope : {&mInputScope, &mOutputScope})
        for (UInt32 i = 0; i < scope->GetNumberOfElements(); ++i)
            scope->GetIOElement(i)->AllocateBuffer(maxFrames);
    mBuffersAllocated = true;
}

void AUBase::SetMaxFramesPerSlice(UInt32 maxFrames)
{
    mMaxFramesPerSlice.store(maxFrames, std::memory_order_relaxed);
    if (mBuffersAllocated) ReallocateBuffers();
    PropertyChanged(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0);
}

OSStatus AUBase::CanSetMaxFrames() const
{
    return IsInitialized() ? kAudioUnitErr_Initialized : noErr;
}

UInt32 AUBase::GetMaxFramesPerSlice() const
{
    return mMaxFramesPerSlice.load(std::memory_order_relaxed);
}

Float64 AUBase::GetSampleRate()
{
    return mOutputScope.GetNumberOfElements() > 0 ? GetOutput(0)->GetStreamFormat().mSampleRate
                                                  : kDefaultSampleRate;
}

void AUBase::SetWantsRenderThreadID(bool wants)
{
    mWantsRenderThreadID.store(wants, std::memory_order_relaxed);
    if (!wants) mRenderThreadID.store(std::thread::id{}, std::memory_order_relaxed);
}

bool AUBase::InRenderThread() const
{
    return mRenderThreadID.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

bool AUBase::NeedsToRender(const AudioTimeStamp& timeStamp)
{
    const bool needs = timeStamp.mSampleTime != mLastRenderedSampleTime;
    mLastRenderedSampleTime = timeStamp.mSampleTime;
    return needs;
}

HostCallbackInfo AUBase::HostCallbacks() const
{
    return mHostCallbacks.Read([](const HostCallbackInfo& info) { return info; });
}

OSStatus AUBase::CallHostBeatAndTempo(Float64* outCurrentBeat, Float64* outCurrentTempo) const
{
    const HostCallbackInfo info = HostCallbacks();
    if (info.beatAndTempoProc == nullptr) return kAudioUnitErr_CannotDoInCurrentContext;
    return info.beatAndTempoProc(info.hostUserData, outCurrentBeat, outCurrentTempo);
}

OSStatus AUBase::CallHostMusicalTimeLocation(UInt32* outDeltaSampleOffsetToNextBeat,
                                             Float32* outTimeSigNumerator,
                                             UInt32* outTimeSigDenominator,
                                             Float64* outCurrentMeasureDownBeat) const
{
    const HostCallbackInfo info = HostCallbacks();
    if (info.musicalTimeLocationProc == nullptr) return kAudioUnitErr_CannotDoInCurrentContext;
    return info.musicalTimeLocationProc(info.hostUserData, outDeltaSampleOffsetToNextBeat,
                                        outTimeSigNumerator, outTimeSigDenominator,
                                        outCurrentMeasureDownBeat);
}

OSStatus AUBase::CallHostTransportState(Boolean* outIsPlaying, Boolean* outTransportStateChanged,
                                        Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                        Float64* outCycleStartBeat, Float64* outCycleEndBeat) const
{
    const HostCallbackInfo info = HostCallbacks();
    if (info.transportStateProc == nullptr) return kAudioUnitErr_CannotDoInCurrentContext;
    return info.transportStateProc(info.hostUserData, outIsPlaying, outTransportStateChanged,
                                   outCurrentSampleInTimeLine, outIsCycling, outCycleStartBeat,
                                   outCycleEndBeat);
}

void AUBase::SetPreset(const AUPreset& preset)
{
    const std::lock_guard<std::mutex> lock(mPresetMutex);
    mCurrentPreset = preset;
}

AUPreset AUBase::GetPreset() const
{
    const std::lock_guard<std::mutex> lock(mPresetMutex);
    return mCurrentPreset;
}
