// tova-jack's refusals before it plays: one line on stderr and the documented status.

#include "RenderTestUtil.h"

#include <gtest/gtest.h>

#include <unistd.h>

TEST(TovaJackProgram, BadArgumentsAndNoServerGiveOneLineAndTheirStatus)
{
    const std::string server = "tova-nobody-" + std::to_string(::getpid());
    const std::string master = "expected BPM or BPM/BEATS, the tempo above 0 and at most 1000, "
                               "the beats per bar a whole number from 1 to 32";
    const struct
    {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"--server", server},
         1,
         "no JACK server named '" + server + "' is running (start one first, e.g. jackd -d alsa)"},
        {{"--loud"}, 2, "unknown option '--loud' (try --help)"},
        {{"--state"}, 2, "--state needs a value"},
        {{"--name", ""}, 2, "--name needs a value"},
        {{"--master", "0"}, 2, "--master '0': " + master},
        {{"--master", "1000.5"}, 2, "--master '1000.5': " + master},
        {{"--master", "120/33"}, 2, "--master '120/33': " + master},
        {{"--master", "120/x"}, 2, "--master '120/x': " + master},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.message);
        const Outcome outcome = RunProgram(TOVA_JACK, c.args);
        EXPECT_EQ(c.status, outcome.status);
        EXPECT_EQ("tova-jack: " + c.message + "\n", outcome.err);
        EXPECT_EQ("", outcome.out);
    }
}
