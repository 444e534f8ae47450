#pragma once
// The generic component entry: a plug-in library exports one function per class that hands
// every call to ComponentEntryPoint<Class>::Dispatch, for example
//
//     extern "C" ComponentResult CTovaEntry(ComponentParameters* params, void* storage)
//     {
//         return ComponentEntryPoint<CTova>::Dispatch(params, storage);
//     }
//
// Open creates the object for the instance record (constructor, then PostConstructor) and
// stores it as the instance's storage; close calls PreDestructor and destroys it. MIDI
// selectors go to the AUMIDIBase part of classes that have one, everything else to AUBase.
// A null instance answers kAudio_ParamError; an exception leaving any call becomes its status
// (see AUStatusFromCurrentException).

#include "params/frame/AUBase.h"
#include "params/frame/AUMIDIBase.h"
#include "params/frame/AUStatus.h"

#include <memory>
#include <type_traits>

template <class Class> class ComponentEntryPoint
{
public:
    // [any] The thread of each call is the one its selector is made for.
    static ComponentResult Dispatch(ComponentParameters* params, void* storage)
    {
        if (params == nullptr) return kAudio_ParamError;
        if (params->what == kComponentOpenSelect)
            return Open(static_cast<ComponentInstanceRecord*>(params->args));
        auto* unit = static_cast<Class*>(storage);
        if (unit == nullptr) return kAudio_ParamError;
        try
        {
            if (params->what == kComponentCloseSelect)
            {
                const std::unique_ptr<Class> owned(unit);
                owned->PreDestructor();
                return noErr;
            }
            if constexpr (std::is_base_of_v<AUMIDIBase, Class>)
                if (AUMIDIBase::IsMIDISelector(params->what))
                    return AUMIDIBase::ComponentEntryDispatch(params, unit);
            return AUBase::ComponentEntryDispatch(params, unit);
        }
        catch (...)
        {
            return AUStatusFromCurrentException();
        }
    }

private:
    static ComponentResult Open(ComponentInstanceRecord* instance)
    {
        if (instance == nullptr) return kAudio_ParamError;
        try
        {
            auto unit = std::make_unique<Class>(instance);
            unit->PostConstructor();
            instance->storage = unit.release();
            return noErr;
        }
        catch (...)
        {
            return AUStatusFromCurrentException();
        }
    }
};
