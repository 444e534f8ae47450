#pragma once
// The host-side interface of an audio-unit component: the numeric ids, status codes and
// selectors of the documented Audio Unit API, and the typed calls every host uses (the render
// CLI, the LV2 wrapper, the JACK program and the tests).
//
// How a host drives a unit
// ------------------------
// Open and close. A plug-in library exports an entry function (`CTovaEntry` for Tova). The host
// describes the component in an AudioComponentRegistration (type, subtype, manufacturer, name,
// version, entry) and opens an instance; the frame reads the identity from this registration,
// so the codes saved in a preset are the ones the host registered:
//
//     const AudioComponentRegistration reg{{kAudioUnitType_MusicEffect, FourCharCode("Tova"),
//                                           FourCharCode("Qzpt")}, "Tova", 0x00010100, CTovaEntry};
//     AudioUnit unit = nullptr;
//     AudioComponentInstanceNew(&reg, &unit);        // constructor + PostConstructor
//     ...
//     AudioComponentInstanceDispose(unit);           // PreDestructor + destructor
//
// Configure, then initialise. Properties that shape buffers (stream format, sample rate,
// maximum frames per slice) can only change while the unit is uninitialised:
//
//     AudioStreamBasicDescription f = CanonicalStreamFormat(48000, 2);
//     AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
//                          &f, sizeof f);            // and the same for every output bus
//     UInt32 maxFrames = 4096;
//     AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice,
//                          kAudioUnitScope_Global, 0, &maxFrames, sizeof maxFrames);
//     AudioUnitInitialize(unit);                     // allocates every bus's buffers
//
// Feed the input. The unit pulls its input during render from a callback set on the input
// scope (or from another unit through kAudioUnitProperty_MakeConnection). The callback fills
// the buffers it is given (one per channel, inNumberFrames floats each) or points them at its
// own memory; a failing callback makes the unit read silence:
//
//     AURenderCallbackStruct input{MyInputProc, myState};
//     AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input,
//                          0, &input, sizeof input);
//
// Host callbacks. Tempo, musical position and transport come from a HostCallbackInfo record of
// function pointers (any of them may be null; the unit then falls back to its defaults):
//
//     HostCallbackInfo info{myHost, MyBeatAndTempo, MyMusicalTimeLocation, MyTransportState};
//     AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0,
//                          &info, sizeof info);
//
// Render. Once per cycle the host renders every output bus it wants, bus 0 first, all with the
// same time stamp; the unit treats a repeated sample time as a further bus of the same cycle.
// Buffers with memory are filled in place; buffers whose mData is null are pointed at the
// unit's own memory, valid until the next render call:
//
//     AudioTimeStamp ts; ts.mSampleTime = framesSoFar; ts.mFlags = kAudioTimeStampSampleTimeValid;
//     for (UInt32 bus = 0; bus < 4; ++bus) {
//         AudioBufferList abl; abl.mNumberBuffers = 2;
//         abl.mBuffers[0] = {1, frames * 4, left[bus]}; abl.mBuffers[1] = {1, frames * 4,
//         right[bus]}; AudioUnitRenderActionFlags flags = 0; AudioUnitRender(unit, &flags, &ts,
//         bus, frames, &abl);
//     }
//     framesSoFar += frames;
//
// MIDI. Send channel messages before the render call they belong to, with the frame offset
// into that call's buffer; they are refused (kAudioUnitErr_Uninitialized) before
// AudioUnitInitialize:
//
//     MusicDeviceMIDIEvent(unit, 0x90, 60, 100, offset);   // see platform/MusicDevice.h
//
// Parameters and listeners. AudioUnitSetParameter/AudioUnitGetParameter work from any thread.
// To change a parameter and tell the editor and other listeners, use AUParameterSet
// (platform/AudioUnitUtilities.h); notifications are delivered when the host calls
// AUListenerDispatchPending from its own non-real-time thread. Property changes reach
// listeners added with AudioUnitAddPropertyListener synchronously on the announcing thread
// (which may be the render thread).
//
// State. The preset state is a property-list value (platform/cf/CFType.h):
//
//     CFType state;  UInt32 size = sizeof state;
//     AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
//                          &state, &size);          // save
//     AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
//                          &state, sizeof state);   // restore
//
// Property data. Numeric properties carry the documented plain types. Where the platform
// passes Core Foundation objects the data is a value of this project: class info and
// parameter value strings a CFType, element names a std::string, presets an AUPreset, the
// factory preset list a std::vector<AUPreset>. A get needs *ioDataSize at least the size that
// AudioUnitGetPropertyInfo reports (kAudio_ParamError otherwise); pass outData = nullptr to ask
// for the size only.

#include "platform/CoreAudioTypes.h"

struct ComponentInstanceRecord;
using AudioComponentInstance = ComponentInstanceRecord*;
using AudioUnit = ComponentInstanceRecord*;

using AudioUnitPropertyID = UInt32;
using AudioUnitScope = UInt32;
using AudioUnitElement = UInt32;
using AudioUnitParameterID = UInt32;
using AudioUnitParameterValue = Float32;
using AudioUnitRenderActionFlags = UInt32;

constexpr AudioUnitScope kAudioUnitScope_Global = 0;
constexpr AudioUnitScope kAudioUnitScope_Input = 1;
constexpr AudioUnitScope kAudioUnitScope_Output = 2;
constexpr AudioUnitScope kAudioUnitScope_Group = 3;
constexpr AudioUnitScope kAudioUnitScope_Part = 4;

constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_PreRender = 1u << 2;
constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_PostRender = 1u << 3;
constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_OutputIsSilence = 1u << 4;
constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_PostRenderError = 1u << 8;

constexpr OSStatus kAudioUnitErr_InvalidProperty = -10879;
constexpr OSStatus kAudioUnitErr_InvalidParameter = -10878;
constexpr OSStatus kAudioUnitErr_InvalidElement = -10877;
constexpr OSStatus kAudioUnitErr_NoConnection = -10876;
constexpr OSStatus kAudioUnitErr_FailedInitialization = -10875;
constexpr OSStatus kAudioUnitErr_TooManyFramesToProcess = -10874;
constexpr OSStatus kAudioUnitErr_IllegalInstrument = -10873;
constexpr OSStatus kAudioUnitErr_InstrumentTypeNotFound = -10872;
constexpr OSStatus kAudioUnitErr_InvalidFile = -10871;
constexpr OSStatus kAudioUnitErr_UnknownFileType = -10870;
constexpr OSStatus kAudioUnitErr_FileNotSpecified = -10869;
constexpr OSStatus kAudioUnitErr_FormatNotSupported = -10868;
constexpr OSStatus kAudioUnitErr_Uninitialized = -10867;
constexpr OSStatus kAudioUnitErr_InvalidScope = -10866;
constexpr OSStatus kAudioUnitErr_PropertyNotWritable = -10865;
constexpr OSStatus kAudioUnitErr_CannotDoInCurrentContext = -10863;
constexpr OSStatus kAudioUnitErr_InvalidPropertyValue = -10851;
constexpr OSStatus kAudioUnitErr_PropertyNotInUse = -10850;
constexpr OSStatus kAudioUnitErr_Initialized = -10849;
// The component manager's answer to a selector the component does not implement.
constexpr OSStatus badComponentSelector = static_cast<OSStatus>(0x80008002u);

using AURenderCallback = OSStatus (*)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                      const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                      UInt32 inNumberFrames, AudioBufferList* ioData);

using AudioUnitPropertyListenerProc = void (*)(void* inRefCon, AudioUnit inUnit,
                                               AudioUnitPropertyID inID, AudioUnitScope inScope,
                                               AudioUnitElement inElement);

using AUParameterEventType = UInt32;
constexpr AUParameterEventType kParameterEvent_Immediate = 1;
constexpr AUParameterEventType kParameterEvent_Ramped = 2;

struct AudioUnitParameterEvent
{
    AudioUnitScope scope = 0;
    AudioUnitElement element = 0;
    AudioUnitParameterID parameter = 0;
    AUParameterEventType eventType = kParameterEvent_Immediate;
    union
    {
        struct
        {
            SInt32 startBufferOffset;
            UInt32 durationInFrames;
            AudioUnitParameterValue startValue;
            AudioUnitParameterValue endValue;
        } ramp;
        struct
        {
            UInt32 bufferOffset;
            AudioUnitParameterValue value;
        } immediate;
    } eventValues{};
};

// Component types and the kind this plug-in is.
constexpr OSType kAudioUnitType_Effect = FourCharCode("aufx");
constexpr OSType kAudioUnitType_MusicEffect = FourCharCode("aumf");
constexpr OSType kAudioUnitCarbonViewComponentType = FourCharCode("auvw");

struct AudioComponentDescription
{
    OSType componentType = 0;
    OSType componentSubType = 0;
    OSType componentManufacturer = 0;
    UInt32 componentFlags = 0;
    UInt32 componentFlagsMask = 0;
};
using ComponentDescription = AudioComponentDescription;

// One call into a component: the selector and a pointer to that selector's argument record
// (platform/AUComponentArgs.h). The entry function receives it together with the instance
// storage that its open call stored in the ComponentInstanceRecord.
using ComponentResult = OSStatus;
struct ComponentParameters
{
    SInt16 what = 0;
    void* args = nullptr;
};
using ComponentRoutine = ComponentResult (*)(ComponentParameters* params, void* storage);

// What the platform's component registration holds: identity, name, version, entry.
struct AudioComponentRegistration
{
    AudioComponentDescription description;
    const char* name = nullptr;
    UInt32 version = 0;
    ComponentRoutine entry = nullptr;
};

// An open instance: which component it is and the object its entry created.
struct ComponentInstanceRecord
{
    const AudioComponentRegistration* component = nullptr;
    void* storage = nullptr;
};

// Selector numbers.
constexpr SInt16 kComponentOpenSelect = -1;
constexpr SInt16 kComponentCloseSelect = -2;
constexpr SInt16 kComponentVersionSelect = -4;
constexpr SInt16 kAudioUnitInitializeSelect = 0x0001;
constexpr SInt16 kAudioUnitUninitializeSelect = 0x0002;
constexpr SInt16 kAudioUnitGetPropertyInfoSelect = 0x0003;
constexpr SInt16 kAudioUnitGetPropertySelect = 0x0004;
constexpr SInt16 kAudioUnitSetPropertySelect = 0x0005;
constexpr SInt16 kAudioUnitGetParameterSelect = 0x0006;
constexpr SInt16 kAudioUnitSetParameterSelect = 0x0007;
constexpr SInt16 kAudioUnitResetSelect = 0x0009;
constexpr SInt16 kAudioUnitAddPropertyListenerSelect = 0x000A;
constexpr SInt16 kAudioUnitRemovePropertyListenerSelect = 0x000B;
constexpr SInt16 kAudioUnitRenderSelect = 0x000E;
constexpr SInt16 kAudioUnitAddRenderNotifySelect = 0x000F;
constexpr SInt16 kAudioUnitRemoveRenderNotifySelect = 0x0010;
constexpr SInt16 kAudioUnitScheduleParametersSelect = 0x0011;
constexpr SInt16 kAudioUnitRemovePropertyListenerWithUserDataSelect = 0x0012;
constexpr SInt16 kMusicDeviceMIDIEventSelect = 0x0101;
constexpr SInt16 kMusicDeviceSysExSelect = 0x0102;

// Opening and closing [ui].
OSStatus AudioComponentInstanceNew(const AudioComponentRegistration* inComponent,
                                   AudioComponentInstance* outInstance);
OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance);
// The component's own version number (the plug-in's Version()).
OSStatus AudioComponentInstanceGetVersion(AudioComponentInstance inInstance, UInt32* outVersion);

// Lifecycle [ui].
OSStatus AudioUnitInitialize(AudioUnit inUnit);
OSStatus AudioUnitUninitialize(AudioUnit inUnit);
OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope, AudioUnitElement inElement);

// Properties [ui]; listeners are called on the thread that announces a change.
OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID,
                                  AudioUnitScope inScope, AudioUnitElement inElement,
                                  UInt32* outDataSize, Boolean* outWritable);
OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                      AudioUnitPropertyListenerProc inProc, void* inProcUserData);
// Removes every registration of inProc for inID, whatever its user data.
OSStatus AudioUnitRemovePropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                         AudioUnitPropertyListenerProc inProc);
OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                     AudioUnitPropertyListenerProc inProc,
                                                     void* inProcUserData);

// Render notifications: called before (newest registration first) and after every render call.
OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData);
OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit, AURenderCallback inProc,
                                     void* inProcUserData);

// Parameters [any].
OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue* outValue);
OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue inValue,
                               UInt32 inBufferOffsetInFrames);
OSStatus AudioUnitScheduleParameters(AudioUnit inUnit,
                                     const AudioUnitParameterEvent* inParameterEvent,
                                     UInt32 inNumParamEvents);

// Render one output bus [render].
OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                         UInt32 inNumberFrames, AudioBufferList* ioData);
