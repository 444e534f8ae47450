// The host-side calls: each packs its arguments into the selector's record and hands them to
// the component's entry function together with the instance's storage.

#include "platform/AUComponent.h"

#include "platform/AUComponentArgs.h"
#include "platform/MusicDevice.h"

#include <new>

namespace
{

OSStatus Call(AudioUnit unit, SInt16 selector, void* args)
{
    if (unit == nullptr || unit->component == nullptr || unit->component->entry == nullptr)
        return kAudio_ParamError;
    ComponentParameters params{selector, args};
    return unit->component->entry(&params, unit->storage);
}

} // namespace

OSStatus AudioComponentInstanceNew(const AudioComponentRegistration* inComponent,
                                   AudioComponentInstance* outInstance)
{
    if (inComponent == nullptr || inComponent->entry == nullptr || outInstance == nullptr)
        return kAudio_ParamError;
    *outInstance = nullptr;
    auto* record = new (std::nothrow) ComponentInstanceRecord{inComponent, nullptr};
    if (record == nullptr) return kAudio_MemFullError;
    ComponentParameters params{kComponentOpenSelect, record};
    const OSStatus result = inComponent->entry(&params, nullptr);
    if (result != noErr)
    {
        delete record;
        return result;
    }
    *outInstance = record;
    return noErr;
}

OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance)
{
    if (inInstance == nullptr) return kAudio_ParamError;
    const OSStatus result = Call(inInstance, kComponentCloseSelect, nullptr);
    // The instance is gone whatever the component answered.
    delete inInstance;
    return result;
}

OSStatus AudioComponentInstanceGetVersion(AudioComponentInstance inInstance, UInt32* outVersion)
{
    if (outVersion == nullptr) return kAudio_ParamError;
    return Call(inInstance, kComponentVersionSelect, outVersion);
}

OSStatus AudioUnitInitialize(AudioUnit inUnit)
{
    return Call(inUnit, kAudioUnitInitializeSelect, nullptr);
}

OSStatus AudioUnitUninitialize(AudioUnit inUnit)
{
    return Call(inUnit, kAudioUnitUninitializeSelect, nullptr);
}

OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope, AudioUnitElement inElement)
{
    AUResetArgs args{inScope, inElement};
    return Call(inUnit, kAudioUnitResetSelect, &args);
}

OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID,
                                  AudioUnitScope inScope, AudioUnitElement inElement,
                                  UInt32* outDataSize, Boolean* outWritable)
{
    AUGetPropertyInfoArgs args{inID, inScope, inElement, outDataSize, outWritable};
    return Call(inUnit, kAudioUnitGetPropertyInfoSelect, &args);
}

OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, UInt32* ioDataSize)
{
    if (ioDataSize == nullptr) return kAudio_ParamError;
    AUGetPropertyArgs args{inID, inScope, inElement, outData, ioDataSize};
    return Call(inUnit, kAudioUnitGetPropertySelect, &args);
}

OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, UInt32 inDataSize)
{
    AUSetPropertyArgs args{inID, inScope, inElement, inData, inDataSize};
    return Call(inUnit, kAudioUnitSetPropertySelect, &args);
}

OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                      AudioUnitPropertyListenerProc inProc, void* inProcUserData)
{
    AUPropertyListenerArgs args{inID, inProc, inProcUserData};
    return Call(inUnit, kAudioUnitAddPropertyListenerSelect, &args);
}

OSStatus AudioUnitRemovePropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                         AudioUnitPropertyListenerProc inProc)
{
    AUPropertyListenerArgs args{inID, inProc, nullptr};
    return Call(inUnit, kAudioUnitRemovePropertyListenerSelect, &args);
}

OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                     AudioUnitPropertyListenerProc inProc,
                                                     void* inProcUserData)
{
    AUPropertyListenerArgs args{inID, inProc, inProcUserData};
    return Call(inUnit, kAudioUnitRemovePropertyListenerWithUserDataSelect, &args);
}

OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData)
{
    AURenderNotifyArgs args{inProc, inProcUserData};
    return Call(inUnit, kAudioUnitAddRenderNotifySelect, &args);
}

OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit, AURenderCallback inProc,
                                     void* inProcUserData)
{
    AURenderNotifyArgs args{inProc, inProcUserData};
    return Call(inUnit, kAudioUnitRemoveRenderNotifySelect, &args);
}

OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue* outValue)
{
    if (outValue == nullptr) return kAudio_ParamError;
    AUGetParameterArgs args{inID, inScope, inElement, outValue};
    return Call(inUnit, kAudioUnitGetParameterSelect, &args);
}

OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue inValue,
                               UInt32 inBufferOffsetInFrames)
{
    AUSetParameterArgs args{inID, inScope, inElement, inValue, inBufferOffsetInFrames};
    return Call(inUnit, kAudioUnitSetParameterSelect, &args);
}

OSStatus AudioUnitScheduleParameters(AudioUnit inUnit,
                                     const AudioUnitParameterEvent* inParameterEvent,
                                     UInt32 inNumParamEvents)
{
    if (inParameterEvent == nullptr && inNumParamEvents > 0) return kAudio_ParamError;
    AUScheduleParametersArgs args{inParameterEvent, inNumParamEvents};
    return Call(inUnit, kAudioUnitScheduleParametersSelect, &args);
}

OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                         UInt32 inNumberFrames, AudioBufferList* ioData)
{
    if (ioActionFlags == nullptr || inTimeStamp == nullptr || ioData == nullptr)
        return kAudio_ParamError;
    AURenderArgs args{ioActionFlags, inTimeStamp, inOutputBusNumber, inNumberFrames, ioData};
    return Call(inUnit, kAudioUnitRenderSelect, &args);
}

OSStatus MusicDeviceMIDIEvent(AudioUnit inUnit, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                              UInt32 inOffsetSampleFrame)
{
    MusicDeviceMIDIEventArgs args{inStatus, inData1, inData2, inOffsetSampleFrame};
    return Call(inUnit, kMusicDeviceMIDIEventSelect, &args);
}

OSStatus MusicDeviceSysEx(AudioUnit inUnit, const UInt8* inData, UInt32 inLength)
{
    if (inData == nullptr && inLength > 0) return kAudio_ParamError;
    MusicDeviceSysExArgs args{inData, inLength};
    return Call(inUnit, kMusicDeviceSysExSelect, &args);
}
