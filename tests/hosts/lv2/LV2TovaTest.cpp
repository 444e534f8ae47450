// Tova's own bundle, end to end.

#include "LV2TestUtil.h"

#include <gtest/gtest.h>

TEST(LV2Tova, LoadsAndRendersSilenceFromSilence)
{
    LilvTestHost host(TOVA_BUNDLE, kRate);
    ASSERT_TRUE(host.Ok());
    host.Run(4096);
    for (std::uint32_t bus = 0; bus < 4; ++bus)
        for (std::uint32_t c = 0; c < 2; ++c)
            EXPECT_EQ(
                *std::max_element(host.Output(bus, c).begin(), host.Output(bus, c).begin() + 4096),
                0.0f);
}
