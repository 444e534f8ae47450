// The tova-test.lv2 bundle: the LV2 wrapper around the test component.

#include "LV2TestComponent.h"
#include "hosts/lv2/LV2BundleInfo.h"

const LV2BundleInfo& LV2ThisBundle()
{
    static const LV2BundleInfo bundle{&kLV2TestComponent, TOVA_LV2_URI, "Tova test",
                                      TOVA_LV2_LICENSE};
    return bundle;
}
