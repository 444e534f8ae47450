// The tova.lv2 bundle: Tova's component under its LV2 identity (URI and license come from
// the build, which writes the same ones into the manifest).

#include "engine/CTovaEntry.h"
#include "hosts/lv2/LV2BundleInfo.h"

const LV2BundleInfo& LV2ThisBundle()
{
    static const LV2BundleInfo bundle{&kTovaRegistration, TOVA_LV2_URI, "Tova", TOVA_LV2_LICENSE};
    return bundle;
}
