#pragma once
// A scope (global, input, output or group) and its elements, numbered from 0.
//
// Element counts change only while the unit is uninitialised (when it is opened, or through
// SetBusCount before initialisation); the render thread and parameter traffic only look
// elements up.

#include "params/frame/AUElement.h"

#include <memory>
#include <vector>

class AUBase;
class AUIOElement;

class AUScope
{
public:
    AUScope(AUBase& audioUnit, AudioUnitScope scope);
    AUScope(const AUScope&) = delete;
    AUScope& operator=(const AUScope&) = delete;

    AudioUnitScope GetScope() const { return mScope; } // [any]
    UInt32 GetNumberOfElements() const;                // [any]
    AUElement* GetElement(UInt32 index) const;         // [any] null when absent
    AUElement* SafeGetElement(UInt32 index) const;     // [any] throws kAudioUnitErr_InvalidElement
    AUIOElement* GetIOElement(UInt32 index) const;     // [any] throws kAudioUnitErr_InvalidElement
    // [ui] New elements come from the unit's CreateElement; surplus ones are destroyed.
    void SetNumberOfElements(UInt32 count);

private:
    AUBase& mAudioUnit;
    AudioUnitScope mScope;
    std::vector<std::unique_ptr<AUElement>> mElements;
};
