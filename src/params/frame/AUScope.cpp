#include "params/frame/AUScope.h"

#include "params/frame/AUBase.h"

AUScope::AUScope(AUBase& audioUnit, AudioUnitScope scope) : mAudioUnit(audioUnit), mScope(scope) {}

UInt32 AUScope::GetNumberOfElements() const
{
    return static_cast<UInt32>(mElements.size());
}

AUElement* AUScope::GetElement(UInt32 index) const
{
    return index < mElements.size() ? mElements[index].get() : nullptr;
}

AUElement* AUScope::SafeGetElement(UInt32 index) const
{
    AUElement* element = GetElement(index);
    if (element == nullptr) throw kAudioUnitErr_InvalidElement;
    return element;
}

AUIOElement* AUScope::GetIOElement(UInt32 index) const
{
    auto* element = dynamic_cast<AUIOElement*>(GetElement(index));
    if (element == nullptr) throw kAudioUnitErr_InvalidElement;
    return element;
}

void AUScope::SetNumberOfElements(UInt32 count)
{
    if (count < mElements.size())
    {
        mElements.resize(count);
        return;
    }
    mElements.reserve(count);
    for (UInt32 i = GetNumberOfElements(); i < count; ++i)
        mElements.push_back(mAudioUnit.CreateElement(mScope, i));
}
