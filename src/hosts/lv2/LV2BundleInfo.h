#pragma once
// What distinguishes one LV2 bundle built from the wrapper: the component it opens and how
// the plug-in is named. Each bundle links exactly one definition of LV2ThisBundle (Tova's is
// TovaBundle.cpp; the tests build a bundle around a test component).

#include "platform/AUComponent.h"

struct LV2BundleInfo
{
    const AudioComponentRegistration* registration = nullptr;
    const char* uri = nullptr;
    const char* name = nullptr;    // doap:name
    const char* license = nullptr; // doap:license, a URI
};

// [any]
const LV2BundleInfo& LV2ThisBundle();
