// AUBase: the properties the frame answers, property listeners and render notifications.
//
// Property data is read and written in place: plain records for the numeric properties, and
// for the Core Foundation ones the types named in platform/AUComponent.h (CFType, std::string,
// AUPreset, std::vector<AUPreset>). The entry has already checked that the data is there and
// large enough for what DispatchGetPropertyInfo reported.

#include "params/frame/AUBase.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace
{

bool IsIOScope(AudioUnitScope scope)
{
    return scope == kAudioUnitScope_Input || scope == kAudioUnitScope_Output;
}

// Reads a plain record from property data of at least its size.
template <class T> bool ReadData(const void* data, UInt32 size, T& out)
{
    if (size < sizeof(T)) return false;
    std::memcpy(&out, data, sizeof(T));
    return true;
}

template <class T> void WriteData(void* data, const T& value)
{
    std::memcpy(data, &value, sizeof(T));
}

} // namespace

OSStatus AUBase::DispatchGetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element, UInt32& outDataSize,
                                         Boolean& outWritable)
{
    outWritable = false;
    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
        if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
        outDataSize = sizeof(CFType);
        outWritable = true;
        return noErr;

    case kAudioUnitProperty_MakeConnection:
    case kAudioUnitProperty_SetRenderCallback:
        if (scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
        if (Inputs().GetElement(element) == nullptr) return kAudioUnitErr_InvalidElement;
        outDataSize = id == kAudioUnitProperty_MakeConnection ? sizeof(AudioUnitConnection)
                                                              : sizeof(AURenderCallbackStruct);
        outWritable = true;
        return noErr;

    case kAudioUnitProperty_SampleRate:
    case kAudioUnitProperty_StreamFormat:
        if (scope != kAudioUnitScope_Global && !IsIOScope(scope)) return kAudioUnitErr_InvalidScope;
        if (scope != kAudioUnitScope_Global && GetScope(scope).GetElement(element) == nullptr)
            return kAudioUnitErr_InvalidElement;
        outDataSize = id == kAudioUnitProperty_SampleRate ? sizeof(Float64)
                                                          : sizeof(AudioStreamBasicDescription);
        outWritable = StreamFormatWritable(scope, element);
        return noErr;

    case kAudioUnitProperty_ParameterList:
    {
        UInt32 count = 0;
        if (const OSStatus result = GetParameterList(scope, nullptr, count)) return result;
        outDataSize = count * sizeof(AudioUnitParameterID);
        return noErr;
    }

    case kAudioUnitProperty_ParameterInfo:
        outDataSize = sizeof(AudioUnitParameterInfo);
        return noErr;

    case kAudioUnitProperty_ParameterValueStrings:
        if (const OSStatus result = GetParameterValueStrings(scope, element, nullptr))
            return result;
        outDataSize = sizeof(CFType);
        return noErr;

    case kAudioUnitProperty_ElementCount:
        GetScope(scope);
        outDataSize = sizeof(UInt32);
        outWritable = BusCountWritable(scope);
        return noErr;

    case kAudioUnitProperty_ElementName:
        if (GetElement(scope, element) == nullptr) return kAudioUnitErr_InvalidElement;
        outDataSize = sizeof(std::string);
        outWritable = true;
        return noErr;

    default:
        break;
    }

    // The rest belong to the unit as a whole.
    switch (id)
    {
    case kAudioUnitProperty_Latency:
    case kAudioUnitProperty_SupportedNumChannels:
    case kAudioUnitProperty_MaximumFramesPerSlice:
    case kAudioUnitProperty_GetUIComponentList:
    case kAudioUnitProperty_TailTime:
    case kAudioUnitProperty_FactoryPresets:
    case kAudioUnitProperty_HostCallbacks:
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
        break;
    default:
        return GetPropertyInfo(id, scope, element, outDataSize, outWritable);
    }

    switch (id)
    {
    case kAudioUnitProperty_Latency:
        outDataSize = sizeof(Float64);
        return noErr;
    case kAudioUnitProperty_SupportedNumChannels:
    {
        const UInt32 count = SupportedNumChannels(nullptr);
        if (count == 0) return kAudioUnitErr_InvalidProperty;
        outDataSize = count * sizeof(AUChannelInfo);
        return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
        outDataSize = sizeof(UInt32);
        outWritable = true;
        return noErr;
    case kAudioUnitProperty_GetUIComponentList:
    {
        const int count = GetNumCustomUIComponents();
        if (count <= 0) return kAudioUnitErr_InvalidProperty;
        outDataSize = static_cast<UInt32>(count) * sizeof(ComponentDescription);
        return noErr;
    }
    case kAudioUnitProperty_TailTime:
        if (!SupportsTail()) return kAudioUnitErr_InvalidProperty;
        outDataSize = sizeof(Float64);
        return noErr;
    case kAudioUnitProperty_FactoryPresets:
        if (const OSStatus result = GetPresets(nullptr)) return result;
        outDataSize = sizeof(std::vector<AUPreset>);
        return noErr;
    case kAudioUnitProperty_HostCallbacks:
        outDataSize = sizeof(HostCallbackInfo);
        outWritable = true;
        return noErr;
    default: // current and present preset
        outDataSize = sizeof(AUPreset);
        outWritable = true;
        return noErr;
    }
}

OSStatus AUBase::DispatchGetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, void* outData, UInt32 dataSize)
{
    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
        return SaveState(static_cast<CFType*>(outData));

    case kAudioUnitProperty_MakeConnection:
    case kAudioUnitProperty_SetRenderCallback:
        return kAudioUnitErr_InvalidProperty; // set only

    case kAudioUnitProperty_SampleRate:
        WriteData(outData, GetStreamFormat(scope, element).mSampleRate);
        return noErr;

    case kAudioUnitProperty_StreamFormat:
        WriteData(outData, GetStreamFormat(scope, element));
        return noErr;

    case kAudioUnitProperty_ParameterList:
    {
        UInt32 count = dataSize / sizeof(AudioUnitParameterID);
        return GetParameterList(scope, static_cast<AudioUnitParameterID*>(outData), count);
    }

    case kAudioUnitProperty_ParameterInfo:
    {
        AudioUnitParameterInfo info;
        if (const OSStatus result = GetParameterInfo(scope, element, info)) return result;
        WriteData(outData, info);
        return noErr;
    }

    case kAudioUnitProperty_ParameterValueStrings:
        return GetParameterValueStrings(scope, element, static_cast<CFType*>(outData));

    case kAudioUnitProperty_ElementCount:
        WriteData(outData, GetScope(scope).GetNumberOfElements());
        return noErr;

    case kAudioUnitProperty_ElementName:
    {
        const AUElement* named = SafeGetElement(scope, element);
        if (!named->HasName()) return kAudioUnitErr_PropertyNotInUse;
        *static_cast<std::string*>(outData) = named->GetName();
        return noErr;
    }

    case kAudioUnitProperty_Latency:
        WriteData(outData, GetLatency());
        return noErr;

    case kAudioUnitProperty_SupportedNumChannels:
    {
        const AUChannelInfo* table = nullptr;
        const UInt32 count = SupportedNumChannels(&table);
        if (table == nullptr) return kAudioUnitErr_InvalidProperty;
        std::memcpy(outData, table, std::min<std::size_t>(count * sizeof(AUChannelInfo), dataSize));
        return noErr;
    }

    case kAudioUnitProperty_MaximumFramesPerSlice:
        WriteData(outData, GetMaxFramesPerSlice());
        return noErr;

    case kAudioUnitProperty_GetUIComponentList:
        GetUIComponentDescs(static_cast<ComponentDescription*>(outData));
        return noErr;

    case kAudioUnitProperty_TailTime:
        WriteData(outData, GetTailTime());
        return noErr;

    case kAudioUnitProperty_FactoryPresets:
        return GetPresets(static_cast<std::vector<AUPreset>*>(outData));

    case kAudioUnitProperty_HostCallbacks:
        WriteData(outData, HostCallbacks());
        return noErr;

    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        *static_cast<AUPreset*>(outData) = GetPreset();
        return noErr;

    default:
        return GetProperty(id, scope, element, outData);
    }
}

OSStatus AUBase::DispatchSetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, const void* inData,
                                     UInt32 inDataSize)
{
    UInt32 size = 0;
    Boolean writable = false;
    if (const OSStatus result = DispatchGetPropertyInfo(id, scope, element, size, writable))
        return result;
    if (!writable) return kAudioUnitErr_PropertyNotWritable;

    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
        if (inDataSize != sizeof(CFType)) return kAudio_ParamError;
        return RestoreState(*static_cast<const CFType*>(inData));

    case kAudioUnitProperty_MakeConnection:
    {
        AudioUnitConnection connection;
        if (!ReadData(inData, inDataSize, connection)) return kAudio_ParamError;
        if (connection.destInputNumber != element) return kAudioUnitErr_InvalidPropertyValue;
        return SetConnection(connection);
    }

    case kAudioUnitProperty_SetRenderCallback:
    {
        AURenderCallbackStruct callback;
        if (!ReadData(inData, inDataSize, callback)) return kAudio_ParamError;
        return SetInputCallback(id, element, callback.inputProc, callback.inputProcRefCon);
    }

    case kAudioUnitProperty_SampleRate:
    case kAudioUnitProperty_StreamFormat:
    {
        const AudioStreamBasicDescription previous = GetStreamFormat(scope, element);
        AudioStreamBasicDescription format = previous;
        if (id == kAudioUnitProperty_SampleRate ? !ReadData(inData, inDataSize, format.mSampleRate)
                                                : !ReadData(inData, inDataSize, format))
            return kAudio_ParamError;
        if (!ValidFormat(scope, element, format))
            return id == kAudioUnitProperty_SampleRate ? kAudioUnitErr_InvalidPropertyValue
                                                       : kAudioUnitErr_FormatNotSupported;
        if (format == previous) return noErr;
        if (const OSStatus result = ChangeStreamFormat(scope, element, previous, format))
            return result;
        PropertyChanged(id, scope, element);
        return noErr;
    }

    case kAudioUnitProperty_ElementCount:
    {
        UInt32 count = 0;
        if (!ReadData(inData, inDataSize, count)) return kAudio_ParamError;
        const OSStatus result = SetBusCount(scope, count);
        if (result == noErr) PropertyChanged(id, scope, element);
        return result;
    }

    case kAudioUnitProperty_ElementName:
        if (inDataSize != sizeof(std::string)) return kAudio_ParamError;
        SafeGetElement(scope, element)->SetName(*static_cast<const std::string*>(inData));
        PropertyChanged(id, scope, element);
        return noErr;

    case kAudioUnitProperty_MaximumFramesPerSlice:
    {
        UInt32 maxFrames = 0;
        if (!ReadData(inData, inDataSize, maxFrames)) return kAudio_ParamError;
        if (const OSStatus result = CanSetMaxFrames()) return result;
        SetMaxFramesPerSlice(maxFrames);
        return noErr;
    }

    case kAudioUnitProperty_HostCallbacks:
    {
        // Older hosts pass a shorter record: what they leave out stays null.
        HostCallbackInfo info;
        std::memcpy(&info, inData, std::min<std::size_t>(inDataSize, sizeof(info)));
        mHostCallbacks.Update([&](HostCallbackInfo& current) { current = info; });
        PropertyChanged(id, scope, element);
        return noErr;
    }

    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    {
        if (inDataSize != sizeof(AUPreset)) return kAudio_ParamError;
        const auto& preset = *static_cast<const AUPreset*>(inData);
        if (preset.presetNumber >= 0) return NewFactoryPresetSet(preset);
        SetPreset(preset);
        return noErr;
    }

    default:
        return SetProperty(id, scope, element, inData, inDataSize);
    }
}

OSStatus AUBase::GetPropertyInfo(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32&,
                                 Boolean&)
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::GetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void*)
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::SetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void*,
                             UInt32)
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                     void* userData)
{
    mPropertyListeners.Update(
        [&](std::vector<PropertyListener>& list) {
            list.push_back({id, proc, userData});
        });
    return noErr;
}

OSStatus AUBase::RemovePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                        void* userData, bool withUserData)
{
    mPropertyListeners.Update(
        [&](std::vector<PropertyListener>& list)
        {
            std::erase_if(list,
                          [&](const PropertyListener& l) {
                              return l.id == id && l.proc == proc &&
                                     (!withUserData || l.userData == userData);
                          });
        });
    return noErr;
}

void AUBase::PropertyChanged(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element)
{
    mPropertyListeners.Read(
        [&](const std::vector<PropertyListener>& list)
        {
            for (const PropertyListener& l : list)
                if (l.id == id) l.proc(l.userData, mComponentInstance, id, scope, element);
        });
}

OSStatus AUBase::SetRenderNotification(AURenderCallback proc, void* userData)
{
    mRenderNotifications.Update(
        [&](std::vector<RenderNotification>& list) {
            list.push_back({proc, userData});
        });
    return noErr;
}

OSStatus AUBase::RemoveRenderNotification(AURenderCallback proc, void* userData)
{
    mRenderNotifications.Update(
        [&](std::vector<RenderNotification>& list)
        {
            std::erase_if(list, [&](const RenderNotification& n)
                          { return n.proc == proc && n.userData == userData; });
        });
    return noErr;
}
