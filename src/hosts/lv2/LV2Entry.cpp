// The one symbol an LV2 bundle's library exports.

#include "hosts/lv2/LV2Descriptor.h"

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? LV2Descriptor::Get() : nullptr;
}
