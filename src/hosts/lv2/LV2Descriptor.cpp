#include "hosts/lv2/LV2Descriptor.h"

#include "hosts/lv2/LV2BundleInfo.h"
#include "hosts/lv2/LV2Plugin.h"

#include <lv2/state/state.h>

#include <cstring>

namespace
{
LV2Plugin& Of(LV2_Handle instance)
{
    return *static_cast<LV2Plugin*>(instance);
}

LV2_State_Status Save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      uint32_t, const LV2_Feature* const* features)
{
    return Of(instance).Save(store, handle, features);
}

LV2_State_Status Restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle handle, uint32_t, const LV2_Feature* const* features)
{
    return Of(instance).Restore(retrieve, handle, features);
}

LV2_Worker_Status Work(LV2_Handle instance, LV2_Worker_Respond_Function respond,
                       LV2_Worker_Respond_Handle handle, uint32_t size, const void* data)
{
    return Of(instance).Work(respond, handle, size, data);
}

LV2_Worker_Status WorkResponse(LV2_Handle instance, uint32_t size, const void* data)
{
    return Of(instance).WorkResponse(size, data);
}

const LV2_State_Interface kState{&Save, &Restore};
const LV2_Worker_Interface kWorker{&Work, &WorkResponse, nullptr};
} // namespace

const LV2_Descriptor* LV2Descriptor::Get()
{
    static const LV2_Descriptor descriptor{
        LV2ThisBundle().uri, &Instantiate, &ConnectPort,  &Activate, &Run,
        &Deactivate,         &Cleanup,     &ExtensionData};
    return &descriptor;
}

LV2_Handle LV2Descriptor::Instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                                      const LV2_Feature* const* features)
{
    return LV2Plugin::Create(LV2ThisBundle(), sampleRate, features);
}

void LV2Descriptor::ConnectPort(LV2_Handle instance, uint32_t port, void* data)
{
    Of(instance).ConnectPort(port, data);
}

void LV2Descriptor::Activate(LV2_Handle) {}

void LV2Descriptor::Run(LV2_Handle instance, uint32_t frames)
{
    Of(instance).Run(frames);
}

void LV2Descriptor::Deactivate(LV2_Handle) {}

void LV2Descriptor::Cleanup(LV2_Handle instance)
{
    delete static_cast<LV2Plugin*>(instance);
}

const void* LV2Descriptor::ExtensionData(const char* uri)
{
    if (std::strcmp(uri, LV2_STATE__interface) == 0) return &kState;
    if (std::strcmp(uri, LV2_WORKER__interface) == 0) return &kWorker;
    return nullptr;
}
