// AUBase: routing of one component call to the frame's operations.

#include "params/frame/AUBase.h"

#include "platform/AUComponentArgs.h"

namespace
{
template <class Args> Args* ArgsOf(ComponentParameters* params)
{
    return static_cast<Args*>(params->args);
}
} // namespace

OSStatus AUBase::ComponentEntryDispatch(ComponentParameters* params, AUBase* unit)
{
    if (params->args == nullptr && params->what != kAudioUnitInitializeSelect &&
        params->what != kAudioUnitUninitializeSelect)
        return kAudio_ParamError;
    switch (params->what)
    {
    case kComponentVersionSelect:
        *ArgsOf<UInt32>(params) = unit->Version();
        return noErr;

    case kAudioUnitInitializeSelect:
        return unit->DoInitialize();

    case kAudioUnitUninitializeSelect:
        unit->DoCleanup();
        return noErr;

    case kAudioUnitResetSelect:
    {
        const auto* a = ArgsOf<AUResetArgs>(params);
        return unit->Reset(a->scope, a->element);
    }

    case kAudioUnitGetPropertyInfoSelect:
    {
        const auto* a = ArgsOf<AUGetPropertyInfoArgs>(params);
        UInt32 size = 0;
        Boolean writable = false;
        const OSStatus result =
            unit->DispatchGetPropertyInfo(a->id, a->scope, a->element, size, writable);
        if (result != noErr) return result;
        if (a->outDataSize != nullptr) *a->outDataSize = size;
        if (a->outWritable != nullptr) *a->outWritable = writable;
        return noErr;
    }

    case kAudioUnitGetPropertySelect:
    {
        const auto* a = ArgsOf<AUGetPropertyArgs>(params);
        if (a->ioDataSize == nullptr) return kAudio_ParamError;
        UInt32 size = 0;
        Boolean writable = false;
        if (const OSStatus result =
                unit->DispatchGetPropertyInfo(a->id, a->scope, a->element, size, writable))
            return result;
        if (a->outData == nullptr)
        {
            *a->ioDataSize = size;
            return noErr;
        }
        // Properties that carry objects cannot be cut short, so neither can the others.
        if (*a->ioDataSize < size) return kAudio_ParamError;
        const OSStatus result =
            unit->DispatchGetProperty(a->id, a->scope, a->element, a->outData, *a->ioDataSize);
        if (result == noErr) *a->ioDataSize = size;
        return result;
    }

    case kAudioUnitSetPropertySelect:
    {
        const auto* a = ArgsOf<AUSetPropertyArgs>(params);
        if (a->inData == nullptr) return kAudio_ParamError;
        return unit->DispatchSetProperty(a->id, a->scope, a->element, a->inData, a->inDataSize);
    }

    case kAudioUnitAddPropertyListenerSelect:
    {
        const auto* a = ArgsOf<AUPropertyListenerArgs>(params);
        if (a->proc == nullptr) return kAudio_ParamError;
        return unit->AddPropertyListener(a->id, a->proc, a->userData);
    }

    case kAudioUnitRemovePropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
    {
        const auto* a = ArgsOf<AUPropertyListenerArgs>(params);
        return unit->RemovePropertyListener(a->id, a->proc, a->userData,
                                            params->what ==
                                                kAudioUnitRemovePropertyListenerWithUserDataSelect);
    }

    case kAudioUnitAddRenderNotifySelect:
    {
        const auto* a = ArgsOf<AURenderNotifyArgs>(params);
        if (a->proc == nullptr) return kAudio_ParamError;
        return unit->SetRenderNotification(a->proc, a->userData);
    }

    case kAudioUnitRemoveRenderNotifySelect:
    {
        const auto* a = ArgsOf<AURenderNotifyArgs>(params);
        return unit->RemoveRenderNotification(a->proc, a->userData);
    }

    case kAudioUnitGetParameterSelect:
    {
        const auto* a = ArgsOf<AUGetParameterArgs>(params);
        if (a->outValue == nullptr) return kAudio_ParamError;
        return unit->GetParameter(a->id, a->scope, a->element, *a->outValue);
    }

    case kAudioUnitSetParameterSelect:
    {
        const auto* a = ArgsOf<AUSetParameterArgs>(params);
        return unit->SetParameter(a->id, a->scope, a->element, a->value, a->bufferOffset);
    }

    case kAudioUnitScheduleParametersSelect:
    {
        const auto* a = ArgsOf<AUScheduleParametersArgs>(params);
        if (a->events == nullptr && a->numEvents > 0) return kAudio_ParamError;
        return unit->ScheduleParameter(a->events, a->numEvents);
    }

    case kAudioUnitRenderSelect:
    {
        const auto* a = ArgsOf<AURenderArgs>(params);
        if (a->ioActionFlags == nullptr || a->timeStamp == nullptr || a->ioData == nullptr)
            return kAudio_ParamError;
        return unit->DoRender(*a->ioActionFlags, *a->timeStamp, a->bus, a->frames, *a->ioData);
    }

    default:
        return badComponentSelector;
    }
}
