// tova-jack without a server: the command line, and the one clear line when no server runs.

#include "RenderTestUtil.h"
#include "hosts/jack/JackCommandLine.h"

#include <gtest/gtest.h>

#include <unistd.h>

TEST(TovaJackProgram, NoServerIsOneClearLineAndStatusOne)
{
    const std::string server = "tova-nobody-" + std::to_string(::getpid());
    const Outcome outcome = RunProgram(TOVA_JACK, {"--server", server});
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ("tova-jack: no JACK server named '" + server +
                  "' is running (start one first, e.g. jackd -d alsa)\n",
              outcome.err);
    EXPECT_EQ("", outcome.out);
}

TEST(TovaJackProgram, HelpGoesToStdoutAndUsageErrorsExitWithStatus2)
{
    const Outcome help = RunProgram(TOVA_JACK, {"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_EQ(JackCommandLine::Usage() + "\n", help.out);
    const Outcome wrong = RunProgram(TOVA_JACK, {"--master", "120/x"});
    EXPECT_EQ(2, wrong.status);
    EXPECT_EQ(0u, wrong.err.find("tova-jack: --master '120/x': expected BPM")) << wrong.err;
}
