// Spreading a sample over its neighbours never reaches below key 0.  (Recording, spreading and
// "Stop Prior" themselves are scenarios on the integration harness.)

#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"

#include <gtest/gtest.h>

TEST(TovaRecording, ASpreadFromKeyZeroWritesNoKeyBelowIt)
{
    TovaHost host(48000);
    CTovaProbe probe(host.Tova());
    const CTova::Exclusive access(host.Tova());
    probe.CopySample(0, 0, 126, true, true); // key 0 has no sample
    EXPECT_EQ(nullptr, probe.Key(0).Sample());
    probe.GiveSample(0, 1000);
    probe.CopySample(0, 0, 126, true, true);
    EXPECT_FALSE(probe.Key(0).Automatic());
    EXPECT_EQ(probe.Key(0).Sample(), probe.Key(125).Sample());
    EXPECT_EQ(nullptr, probe.Key(126).Sample());
}
