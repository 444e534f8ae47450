#pragma once
// The base of every audio-unit plug-in: scopes and elements, parameters, properties and their
// listeners, render per output bus with render notifications, parameter scheduling, the
// class-info state and the host callbacks. A plug-in derives from it (through AUEffectBase and
// AUMIDIEffectBase), overrides the virtual operations it needs and is opened through
// ComponentEntryPoint.
//
// Threads. The host renders on its render thread and calls everything else from its other
// threads; the frame takes no lock around the plug-in's operations. Parameter values, the
// bypass flag, host callbacks, listener lists and input sources may be read and changed from
// any thread at any time without data races. What shapes buffers (stream formats, bus counts,
// maximum frames) changes only while the unit is uninitialised, and the unit refuses to render
// then.

#include "params/frame/AUInputElement.h"
#include "params/frame/AUOutputElement.h"
#include "params/frame/AUScope.h"
#include "platform/CABoundedQueue.h"
#include "platform/CASnapshot.h"
#include "platform/cf/CFType.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class AUBase
{
public:
    AUBase(AudioComponentInstance instance, UInt32 numInputElements, UInt32 numOutputElements,
           UInt32 numGroupElements = 0);
    virtual ~AUBase();
    AUBase(const AUBase&) = delete;
    AUBase& operator=(const AUBase&) = delete;

    // ---- Virtual operations, in the platform's slot order ----

    virtual UInt32 Version(); // [ui] the registration's version number
    // [ui] Called once right after the constructor: creates the buses (the global element
    // exists from the constructor on).
    virtual void PostConstructor();
    // [ui] Called right before the destructor, while virtual calls still reach the plug-in:
    // uninitialises.
    virtual void PreDestructor();
    virtual OSStatus Initialize(); // [ui] after the buffers are allocated
    virtual void Cleanup();        // [ui] on uninitialise
    virtual OSStatus Reset(AudioUnitScope scope, AudioUnitElement element); // [ui]

    // [any] Properties the frame does not answer itself reach these: a plug-in's own ids, and
    // the effect's bypass and in-place flags. The default refuses (kAudioUnitErr_InvalidProperty).
    virtual OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32& outDataSize,
                                     Boolean& outWritable);
    virtual OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, void* outData);
    virtual OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, const void* inData, UInt32 inDataSize);
    virtual OSStatus AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                         void* userData); // [ui]
    // [ui] Removes the registrations of proc for id, only those with userData when
    // withUserData is true.
    virtual OSStatus RemovePropertyListener(AudioUnitPropertyID id,
                                            AudioUnitPropertyListenerProc proc, void* userData,
                                            bool withUserData);
    virtual OSStatus SetRenderNotification(AURenderCallback proc, void* userData);    // [ui]
    virtual OSStatus RemoveRenderNotification(AURenderCallback proc, void* userData); // [ui]

    // [any] Read and write parameter values; an id the element does not have is refused with
    // kAudioUnitErr_InvalidParameter (hosts cannot add parameters).
    virtual OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                  AudioUnitElement element, AudioUnitParameterValue& outValue);
    virtual OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                  AudioUnitElement element, AudioUnitParameterValue value,
                                  UInt32 bufferOffsetInFrames);
    // [any] Immediate events go through SetParameter at once; ramps are queued (a fixed number
    // per render cycle, the rest dropped) and never applied: no plug-in here reads them.
    virtual OSStatus ScheduleParameter(const AudioUnitParameterEvent* events, UInt32 numEvents);

    // [render] Renders output bus `bus` into GetOutput(bus)'s buffer list.
    virtual OSStatus RenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                               const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames) = 0;
    virtual bool BusCountWritable(AudioUnitScope scope); // [any] false: hosts cannot change counts
    // [ui] Sets the number of elements of the input, output or group scope; refused while
    // initialised (kAudioUnitErr_Initialized).
    virtual OSStatus SetBusCount(AudioUnitScope scope, UInt32 count);
    virtual OSStatus SetConnection(const AudioUnitConnection& connection); // [ui]
    virtual OSStatus SetInputCallback(AudioUnitPropertyID propertyID, AudioUnitElement element,
                                      AURenderCallback proc, void* refCon); // [ui]

    // [ui] The ids of the scope's element with the most parameters, ascending. outList has
    // room for outNumParameters ids (it may be null); outNumParameters becomes the count.
    virtual OSStatus GetParameterList(AudioUnitScope scope, AudioUnitParameterID* outList,
                                      UInt32& outNumParameters);
    // [any] Describes a parameter; the default knows none (kAudioUnitErr_InvalidParameter).
    virtual OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                      AudioUnitParameterInfo& outInfo);
    virtual OSStatus SaveState(CFType* outData);        // [ui]
    virtual OSStatus RestoreState(const CFType& plist); // [ui]
    // [ui] An array of strings, one per value of an indexed parameter; a null outStrings only
    // asks whether they exist. The default has none (kAudioUnitErr_InvalidProperty).
    virtual OSStatus GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                              CFType* outStrings);
    virtual OSStatus GetPresets(std::vector<AUPreset>* outData) const;   // [ui] default: none
    virtual OSStatus NewFactoryPresetSet(const AUPreset& preset);        // [ui] default: refuses
    virtual int GetNumCustomUIComponents();                              // [ui] default 0
    virtual void GetUIComponentDescs(ComponentDescription* inDescArray); // [ui]
    virtual Float64 GetLatency();                                        // [any] seconds, default 0
    virtual Float64 GetTailTime();                                       // [any] seconds, default 0
    virtual bool SupportsTail();                                         // [any] default false

    virtual bool StreamFormatWritable(AudioUnitScope scope, AudioUnitElement element) = 0; // [ui]
    // [any] Supported channel pairs; 0 with a null table means "same count in and out".
    virtual UInt32 SupportedNumChannels(const AUChannelInfo** outInfo);
    // [ui] The canonical format with 1 … kAudioBufferListCapacity channels and a positive rate.
    virtual bool ValidFormat(AudioUnitScope scope, AudioUnitElement element,
                             const AudioStreamBasicDescription& format);
    // [any] The global scope stands for output bus 0.
    virtual AudioStreamBasicDescription GetStreamFormat(AudioUnitScope scope,
                                                        AudioUnitElement element);
    virtual OSStatus ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                        const AudioStreamBasicDescription& previous,
                                        const AudioStreamBasicDescription& format); // [ui]
    virtual std::unique_ptr<AUElement> CreateElement(AudioUnitScope scope,
                                                     AudioUnitElement element); // [ui]
    virtual void ReallocateBuffers();                                           // [ui]
    virtual void SetMaxFramesPerSlice(UInt32 maxFrames);                        // [ui]
    virtual OSStatus CanSetMaxFrames() const; // [ui] only while uninitialised

    // ---- Services for the plug-in ----

    AudioComponentInstance GetComponentInstance() const { return mComponentInstance; } // [any]
    // [any] Identity from the component's registration, not from the plug-in's code.
    const AudioComponentDescription& GetComponentDescription() const;
    bool IsInitialized() const { return mInitialized.load(std::memory_order_acquire); } // [any]

    AUScope& GetScope(AudioUnitScope scope);    // [any] throws kAudioUnitErr_InvalidScope above 3
    AUScope& Inputs() { return mInputScope; }   // [any]
    AUScope& Outputs() { return mOutputScope; } // [any]
    AUElement* Globals() { return mGlobalScope.SafeGetElement(0); }        // [any]
    AUElement* GetElement(AudioUnitScope scope, AudioUnitElement element); // [any] null if absent
    AUElement* SafeGetElement(AudioUnitScope scope, AudioUnitElement element); // [any] throws
    AUInputElement* GetInput(AudioUnitElement element); // [any] throws kAudioUnitErr_InvalidElement
    AUOutputElement*
    GetOutput(AudioUnitElement element); // [any] throws kAudioUnitErr_InvalidElement

    UInt32 GetMaxFramesPerSlice() const; // [any]
    Float64 GetSampleRate();             // [any] output bus 0's rate

    void SetWantsRenderThreadID(bool wants); // [ui] record the render thread from now on
    bool InRenderThread() const;             // [any] the calling thread last rendered
    // [render] Whether the time stamp differs from the last one this was asked with (initially
    // −1), remembering it: false for a further bus of the same render cycle.
    bool NeedsToRender(const AudioTimeStamp& timeStamp);

    // [any] Calls every listener of id, in registration order, on the calling thread; walking
    // the list neither locks nor allocates, so the render thread may announce.
    void PropertyChanged(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element);

    // [render] The host's callbacks; kAudioUnitErr_CannotDoInCurrentContext when it gave none.
    OSStatus CallHostBeatAndTempo(Float64* outCurrentBeat, Float64* outCurrentTempo) const;
    OSStatus CallHostMusicalTimeLocation(UInt32* outDeltaSampleOffsetToNextBeat,
                                         Float32* outTimeSigNumerator,
                                         UInt32* outTimeSigDenominator,
                                         Float64* outCurrentMeasureDownBeat) const;
    OSStatus CallHostTransportState(Boolean* outIsPlaying, Boolean* outTransportStateChanged,
                                    Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                    Float64* outCycleStartBeat, Float64* outCycleEndBeat) const;

    // ---- Component calls: what ComponentEntryPoint routes the selectors to ----

    OSStatus DoInitialize(); // [ui]
    void DoCleanup();        // [ui]
    OSStatus DispatchGetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32& outDataSize,
                                     Boolean& outWritable); // [any]
    // [any] outData holds dataSize bytes, at least the size DispatchGetPropertyInfo reported.
    OSStatus DispatchGetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, void* outData, UInt32 dataSize);
    OSStatus DispatchSetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, const void* inData,
                                 UInt32 inDataSize); // [any]
    OSStatus DoRender(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                      UInt32 bus, UInt32 frames, AudioBufferList& ioData); // [render]
    // [any] Routes one component call (everything but open, close and MIDI); may throw.
    static OSStatus ComponentEntryDispatch(ComponentParameters* params, AUBase* unit);

private:
    struct PropertyListener
    {
        AudioUnitPropertyID id;
        AudioUnitPropertyListenerProc proc;
        void* userData;
    };
    struct RenderNotification
    {
        AURenderCallback proc;
        void* userData;
    };

    OSStatus FindElement(AudioUnitScope scope, AudioUnitElement element, AUElement*& outElement);
    OSStatus DoRenderBus(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                         UInt32 bus, AUOutputElement& output, UInt32 frames,
                         AudioBufferList& ioData);
    void NotifyRender(AudioUnitRenderActionFlags flags, const AudioTimeStamp& timeStamp, UInt32 bus,
                      UInt32 frames, AudioBufferList& ioData) const;
    HostCallbackInfo HostCallbacks() const;
    void SetPreset(const AUPreset& preset);
    AUPreset GetPreset() const;
    CFDataStorage SaveParameters();
    void RestoreParameters(const CFDataStorage& blob);
    void RestoreElementNames(const CFType& names);

    AudioComponentInstance mComponentInstance;
    const UInt32 mInitialInputs;
    const UInt32 mInitialOutputs;
    const UInt32 mInitialGroups;
    AUScope mGlobalScope;
    AUScope mInputScope;
    AUScope mOutputScope;
    AUScope mGroupScope;

    std::atomic<bool> mInitialized{false};
    std::atomic<UInt32> mMaxFramesPerSlice;
    bool mBuffersAllocated = false;
    Float64 mLastRenderedSampleTime = -1; // render thread only

    std::atomic<bool> mWantsRenderThreadID{false};
    std::atomic<std::thread::id> mRenderThreadID{};

    CASnapshot<std::vector<PropertyListener>> mPropertyListeners;
    CASnapshot<std::vector<RenderNotification>> mRenderNotifications;
    CASnapshot<HostCallbackInfo> mHostCallbacks;
    // Ramped events waiting in the current render cycle; emptied by every render call.
    CABoundedQueue<AudioUnitParameterEvent, 64> mRampedEvents;

    mutable std::mutex mPresetMutex;
    AUPreset mCurrentPreset;
};
