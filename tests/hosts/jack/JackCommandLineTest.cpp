#include "hosts/jack/JackCommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct Parsed
{
    JackCommandLine options;
    JackCommandLine::Result result;
};

Parsed Parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "tova-jack");
    Parsed parsed;
    parsed.result = parsed.options.Parse(static_cast<int>(args.size()), args.data());
    return parsed;
}
} // namespace

TEST(JackCommandLine, EveryOptionAndItsDefault)
{
    const Parsed plain = Parse({});
    EXPECT_TRUE(plain.result.run);
    EXPECT_EQ("Tova", plain.options.clientName);
    EXPECT_FALSE(plain.options.master);

    const Parsed full = Parse({"--name", "Loops", "--server", "stage", "--connect", "--all-buses",
                               "--master", "97.5/3", "--state", "song.bplist", "--import", "a.wav",
                               "--import-plain", "b.flac", "--import", "c.wav"});
    ASSERT_TRUE(full.result.run) << full.result.message;
    EXPECT_EQ("Loops", full.options.clientName);
    EXPECT_EQ("stage", full.options.serverName.value_or(""));
    EXPECT_TRUE(full.options.connect);
    EXPECT_TRUE(full.options.allBuses);
    ASSERT_TRUE(full.options.master);
    EXPECT_EQ(97.5, full.options.master->tempo);
    EXPECT_EQ(3, full.options.master->beatsPerBar);
    EXPECT_EQ("song.bplist", full.options.statePath.value_or(""));
    ASSERT_EQ(3u, full.options.imports.size());
    EXPECT_EQ("b.flac", full.options.imports[1].path);
    EXPECT_TRUE(full.options.imports[0].withTempo);
    EXPECT_FALSE(full.options.imports[1].withTempo);
    EXPECT_TRUE(full.options.imports[2].withTempo);
    EXPECT_EQ(4, Parse({"--master", "120"}).options.master->beatsPerBar) << "four unless told";
}

TEST(JackCommandLine, RefusalsAndTheBoundariesOfMaster)
{
    const std::string masterRule = "expected BPM or BPM/BEATS, the tempo above 0 and at most "
                                   "1000, the beats per bar a whole number from 1 to 32";
    struct Case
    {
        std::vector<const char*> args;
        std::string message;
    };
    const Case cases[] = {
        {{"--loud"}, "tova-jack: unknown option '--loud' (try --help)"},
        {{"--state"}, "tova-jack: --state needs a value"},
        {{"--name", ""}, "tova-jack: --name needs a value"},
        {{"--master", "0"}, "tova-jack: --master '0': " + masterRule},
        {{"--master", "1000.5"}, "tova-jack: --master '1000.5': " + masterRule},
        {{"--master", "inf"}, "tova-jack: --master 'inf': " + masterRule},
        {{"--master", "120/0"}, "tova-jack: --master '120/0': " + masterRule},
        {{"--master", "120/33"}, "tova-jack: --master '120/33': " + masterRule},
        {{"--master", "120/3.5"}, "tova-jack: --master '120/3.5': " + masterRule},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.message);
        const Parsed parsed = Parse(c.args);
        EXPECT_FALSE(parsed.result.run);
        EXPECT_EQ(JackCommandLine::kExitUsage, parsed.result.exitStatus);
        EXPECT_EQ(c.message, parsed.result.message);
    }
    EXPECT_TRUE(Parse({"--master", "1000/32"}).result.run);
    EXPECT_TRUE(Parse({"--master", "0.001/1"}).result.run);
}
