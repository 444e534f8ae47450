// The listener calls of the parameter-listener service, and the two posting calls.

#include "platform/AudioUnitUtilities.h"

#include "platform/AUParameterListenerService.h"

OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData,
                          AUParameterListenerRef* outListener)
{
    return AUParameterListenerService::Instance().CreateListener(inProc, inUserData, outListener);
}

OSStatus AUListenerDispose(AUParameterListenerRef inListener)
{
    return AUParameterListenerService::Instance().DisposeListener(inListener);
}

OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject,
                                const AudioUnitParameter* inParameter)
{
    if (inParameter == nullptr) return kAudio_ParamError;
    return AUParameterListenerService::Instance().AddParameter(inListener, inObject, *inParameter);
}

OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                   const AudioUnitParameter* inParameter)
{
    if (inParameter == nullptr) return kAudio_ParamError;
    return AUParameterListenerService::Instance().RemoveParameter(inListener, inObject,
                                                                  *inParameter);
}

OSStatus AUParameterSet(AUParameterListenerRef inSendingListener, void* inSendingObject,
                        const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                        UInt32 inBufferOffsetInFrames)
{
    if (inParameter == nullptr) return kAudio_ParamError;
    const OSStatus result = AudioUnitSetParameter(
        inParameter->mAudioUnit, inParameter->mParameterID, inParameter->mScope,
        inParameter->mElement, inValue, inBufferOffsetInFrames);
    if (result == noErr)
        AUParameterListenerService::Instance().Post(inSendingListener, inSendingObject,
                                                    *inParameter, inValue);
    return result;
}

OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                   const AudioUnitParameter* inParameter)
{
    if (inParameter == nullptr) return kAudio_ParamError;
    AudioUnitParameterValue value = 0;
    const OSStatus result =
        AudioUnitGetParameter(inParameter->mAudioUnit, inParameter->mParameterID,
                              inParameter->mScope, inParameter->mElement, &value);
    if (result == noErr)
        AUParameterListenerService::Instance().Post(inSendingListener, inSendingObject,
                                                    *inParameter, value);
    return result;
}

UInt32 AUListenerDispatchPending()
{
    return AUParameterListenerService::Instance().DispatchPending();
}

UInt64 AUListenerDroppedNotifications()
{
    return AUParameterListenerService::Instance().DroppedNotifications();
}
