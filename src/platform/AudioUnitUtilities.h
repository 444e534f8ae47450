#pragma once
// The parameter-listener service: tells editors and hosts about parameter changes, process
// wide and thread safe, and converts parameter values for controls (linear positions, text).
//
// Posting (AUParameterSet, AUParameterListenerNotify) never locks or allocates, so the plug-in
// may post from its render thread. Notifications wait in a bounded lock-free queue and reach
// the listeners, in posting order, when some non-real-time thread calls
// AUListenerDispatchPending: a host calls it from its user-interface loop (or a timer), tests
// call it to drain synchronously. Each notification carries the parameter's value at the
// moment it was posted; the listener registered as the sender (listener and object together)
// is skipped. A notification posted while the queue is full is dropped and counted.
// Registration locks, as do dispatching and disposal, which therefore never overlap: once
// AUListenerDispose returns, the disposed listener is never called again.

#include "platform/AUComponent.h"

struct AudioUnitParameter
{
    AudioUnit mAudioUnit = nullptr;
    AudioUnitParameterID mParameterID = 0;
    AudioUnitScope mScope = 0;
    AudioUnitElement mElement = 0;
};

struct AUListenerBase;
using AUParameterListenerRef = AUListenerBase*;

// inObject is the object given to AUListenerAddParameter (a control, say).
using AUParameterListenerProc = void (*)(void* inUserData, void* inObject,
                                         const AudioUnitParameter* inParameter,
                                         AudioUnitParameterValue inValue);

// [ui] Listener lifetime and the parameters it follows (one registration per object and
// parameter; adding it again changes nothing).
OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData,
                          AUParameterListenerRef* outListener);
OSStatus AUListenerDispose(AUParameterListenerRef inListener);
OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject,
                                const AudioUnitParameter* inParameter);
OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                   const AudioUnitParameter* inParameter);

// [any] Sets the parameter through the unit's set-parameter path on the calling thread and,
// when that succeeds, posts a notification with the new value.
OSStatus AUParameterSet(AUParameterListenerRef inSendingListener, void* inSendingObject,
                        const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                        UInt32 inBufferOffsetInFrames);
// [any] Posts a notification with the parameter's current value, without changing it.
OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                   const AudioUnitParameter* inParameter);

// [ui] Delivers the queued notifications; returns how many were delivered. One call delivers
// at most one queue's worth, so listeners that post again cannot keep it busy for ever.
UInt32 AUListenerDispatchPending();
// [any] Notifications lost so far because the queue was full.
UInt64 AUListenerDroppedNotifications();

// [any] A control's position 0 … 1 and the parameter value it stands for, following the
// parameter's display flags: linear by default; square root, squared, cubed and cube root
// bend the position as named; logarithmic (for a minimum above 0) and exponential spread it
// by ratios. Positions outside 0 … 1 and values outside the range are clamped to it. A
// parameter the unit does not describe passes its value through unchanged.
AudioUnitParameterValue AUParameterValueFromLinear(Float32 inLinearValue,
                                                   const AudioUnitParameter* inParameter);
Float32 AUParameterValueToLinear(AudioUnitParameterValue inParameterValue,
                                 const AudioUnitParameter* inParameter);

// [any] Formats a value as text rounded to a resolution of inDigits: with p the power of ten
// of the parameter's span (maximum − minimum; of the value itself for logarithmic and
// frequency parameters), the text keeps inDigits − p − 1 decimals, and rounds to tens,
// hundreds, … when that number is negative (inDigits 3: span 1 → "0.12", span 100 → "43",
// span 10000 → "12300"). inTextBuffer must hold kAUParameterFormatValueBufferSize bytes.
constexpr UInt32 kAUParameterFormatValueBufferSize = 32;
char* AUParameterFormatValue(Float64 inParameterValue, const AudioUnitParameter* inParameter,
                             char* inTextBuffer, UInt32 inDigits);
