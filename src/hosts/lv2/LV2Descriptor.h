#pragma once
// The C interface of the plug-in: the descriptor, the state and worker interfaces, each
// function forwarding to the LV2Plugin instance behind the handle.

#include <lv2/core/lv2.h>

class LV2Descriptor
{
public:
    // [any] The descriptor of the bundle's plug-in, built on the first call.
    static const LV2_Descriptor* Get();

private:
    static LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double sampleRate,
                                  const char* bundlePath, const LV2_Feature* const* features);
    static void ConnectPort(LV2_Handle instance, uint32_t port, void* data);
    static void Activate(LV2_Handle instance);
    static void Run(LV2_Handle instance, uint32_t frames);
    static void Deactivate(LV2_Handle instance);
    static void Cleanup(LV2_Handle instance);
    static const void* ExtensionData(const char* uri);
};
