#include "platform/HostIdentity.h"

#include <gtest/gtest.h>

TEST(HostIdentity, SetIsReadBackAndCanBeForgotten)
{
    EXPECT_FALSE(HostIdentity::Current().has_value()) << "no identity until the host gives one";
    HostIdentity::SetCurrent(HostIdentity{"org.example.host", 0x01208000, "1.2"});
    const auto current = HostIdentity::Current();
    ASSERT_TRUE(current.has_value());
    EXPECT_EQ(current->mBundleIdentifier, "org.example.host");
    EXPECT_EQ(current->mVersionNumber, 0x01208000u);
    EXPECT_EQ(current->mBundleVersion, "1.2");
    HostIdentity::SetCurrent(std::nullopt);
    EXPECT_FALSE(HostIdentity::Current().has_value());
}
