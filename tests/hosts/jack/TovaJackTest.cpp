// tova-jack live, against JACK dummy servers the tests start and stop themselves.

#include "JackTestClient.h"
#include "JackTestServer.h"
#include "RenderTestUtil.h"
#include "platform/cf/PropertyListFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <thread>

namespace
{
// 120 bpm in 4/4 at 48 kHz: a beat is 48000 × 60 / 120 = 24000 frames, a bar 96000.
constexpr std::uint64_t kBar = 96000;
constexpr double kRate = 48000;

// tova-jack on a test server, with a configuration folder of its own.
class TovaJack : public ChildProcess
{
public:
    TovaJack(const JackTestServer& server, const std::vector<std::string>& args, int n = sCount++)
        : ChildProcess(Argv(server, args, n),
                       {"XDG_CONFIG_HOME=" + Name(n) + "-config", "JACK_NO_AUDIO_RESERVATION=1"},
                       Name(n) + ".out", Name(n) + ".err")
    {
    }
    std::size_t Count(const std::string& text) const
    {
        const std::string out = Output();
        std::size_t n = 0;
        for (std::size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1))
            ++n;
        return n;
    }
    // Waits until stdout holds text `count` times; false after the time.
    bool WaitFor(const std::string& text, double seconds = 10, std::size_t count = 1) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (Count(text) < count && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return Count(text) >= count;
    }
    bool WaitUntilPlaying(double seconds = 10) const
    {
        return WaitFor("plays as JACK client", seconds);
    }
    // Types a command and waits for its answer.
    bool Command(const std::string& line, const std::string& answer)
    {
        const std::size_t before = Count(answer);
        Type(line);
        return WaitFor(answer, 10, before + 1);
    }

private:
    static inline int sCount = 0;
    static std::string Name(int n) { return ScratchPath("tova-jack-" + std::to_string(n)); }
    static std::vector<std::string> Argv(const JackTestServer& server,
                                         const std::vector<std::string>& args, int n)
    {
        std::filesystem::create_directories(Name(n) + "-config");
        std::vector<std::string> argv = {TOVA_JACK, "--server", server.Name()};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
};

// The server, tova-jack, and a test client feeding it and one catching bus 0's left output.
struct Stage
{
    explicit Stage(const std::vector<std::string>& args) : tova(server, args) {}

    ::testing::AssertionResult Ready()
    {
        if (!server.Ok()) return ::testing::AssertionFailure() << server.Log();
        if (!tova.WaitUntilPlaying())
            return ::testing::AssertionFailure() << tova.Output() << tova.Errors();
        feeder = std::make_unique<JackTestClient>(server.Name(), "feeder");
        catcher = std::make_unique<JackTestClient>(server.Name(), "catcher");
        const bool wired = feeder->Ok() && catcher->Ok() &&
                           feeder->Connect("feeder:to_L", "Tova:in_L") &&
                           feeder->Connect("feeder:to_R", "Tova:in_R") &&
                           feeder->Connect("feeder:to_midi", "Tova:midi_in") &&
                           catcher->Connect("Tova:out_L", "catcher:from_L");
        return wired ? ::testing::AssertionSuccess()
                     : ::testing::AssertionFailure() << "the test clients are not wired";
    }
    // With "Record Sync" at `sync` and "Play Thru" off, note 48 holds "Recording" on through
    // its default binding while key 62 is held from `from` to `to` (transport frames) over a
    // 440 Hz tone; the transport rolls from frame 0.
    void Record(const std::string& sync, std::uint64_t from, std::uint64_t to)
    {
        ASSERT_TRUE(tova.Command("set Play Thru=Off", "Play Thru = Off"));
        ASSERT_TRUE(tova.Command("set Record Sync=" + sync, "Record Sync = " + sync));
        feeder->Tone(true);
        feeder->Send(from - 1000, {0x90, 48, 100});
        feeder->Send(from, {0x90, 62, 100});
        feeder->Send(to, {0x80, 62, 0});
        feeder->Send(to + 1000, {0x80, 48, 0});
        feeder->Roll();
        ASSERT_TRUE(feeder->WaitFor(to + 2000, 20));
        feeder->Tone(false);
    }
    // Plays key from `at` for `frames`; returns bus 0's left channel then.
    std::vector<float> Play(std::uint8_t key, std::uint64_t at, std::uint64_t frames)
    {
        feeder->Send(at, {0x90, key, 100});
        feeder->Send(at + frames, {0x80, key, 0});
        catcher->WaitFor(at + frames, 20 + 2.0 * static_cast<double>(frames) / kRate);
        return catcher->Captured(at, at + frames);
    }

    JackTestServer server;
    TovaJack tova;
    std::unique_ptr<JackTestClient> feeder;
    std::unique_ptr<JackTestClient> catcher;
};
} // namespace

TEST(TovaJack, RecordsOneBarAsMasterPlaysItTransposedAndSavesWhatTovaRenderPlaysAlike)
{
    const std::string state = ScratchPath("live.bplist");
    Stage stage({"--master", "120", "--state", state});
    ASSERT_TRUE(stage.Ready());
    // Key 62 from just after the first bar line to just after the second: one bar.
    stage.Record("To Bar", 2000, kBar + 2000);
    // A play during which the busy machine made the server drop cycles is played again.
    std::vector<float> live;
    for (std::uint64_t at = 2 * kBar; live.empty() && at <= 17 * kBar; at += 3 * kBar)
    {
        const int xruns = stage.catcher->Xruns();
        live = stage.Play(69, at, 2 * kBar);
        ASSERT_EQ(2 * kBar, live.size());
        if (stage.catcher->Xruns() != xruns) live.clear();
    }
    ASSERT_FALSE(live.empty()) << "the server dropped cycles in every play";
    // Key 69 holds the take a fifth up: 440 × 2^(7/12) = 659.26 Hz. (The shifter plays it some
    // 15 cents sharp, offline too: 1.5 % takes that but not a wrong rate, 44.1 against 48 kHz
    // being 8.8 %.)
    EXPECT_NEAR(659.26, Frequency(live, 4000, 40000, kRate), 659.26 * 0.015);

    stage.tova.Signal(SIGUSR1);
    ASSERT_TRUE(stage.tova.WaitFor("saved '" + state + "'")) << stage.tova.Errors();
    EXPECT_EQ(96000, SavedTova::Read(state).SlotOf(62).size) << "one bar of frames";
    // The same key from bar 2 offline: 8 quarters = 768 ticks in.
    const std::string midi = ScratchPath("play69.mid");
    WriteFile(midi, SingleTrackFile(96, {NoteOn(768, 69), NoteOff(2 * 768, 69)}));
    const std::string rendered = ScratchPath("offline.wav");
    const Outcome outcome = RunProgram(TOVA_RENDER, {"--state-in", state, "--midi", midi, "--out",
                                                     rendered, "--length", "9", "--quiet"});
    ASSERT_EQ(0, outcome.status) << outcome.err;
    const std::vector<float> offline = ReadLeft(rendered);
    ASSERT_GE(offline.size(), 4 * kBar);
    float largest = 0;
    for (std::size_t i = 0; i < live.size(); ++i)
        largest = std::max(largest, std::fabs(live[i] - offline[2 * kBar + i]));
    EXPECT_LE(largest, 1e-6f) << "tova-render plays the saved state as tova-jack played it";
}

TEST(TovaJack, ABufferSizeChangeKeepsTheRecording)
{
    Stage stage({});
    ASSERT_TRUE(stage.Ready());
    // No timebase master: the transport rolls, the unit keeps its own clock.
    stage.Record("No Sync", 2000, 26000);
    EXPECT_TRUE(stage.tova.WaitFor("| no tempo | rolling | 48000 Hz, 256 frames"));

    ASSERT_EQ(0, jack_set_buffer_size(stage.feeder->Handle(), 512));
    ASSERT_TRUE(stage.tova.WaitFor("the server now runs at 48000 Hz, 512 frames per cycle"))
        << stage.tova.Output() << stage.tova.Errors();
    const std::vector<float> out =
        stage.Play(62, (stage.feeder->TransportFrame() / 512 + 20) * 512, 24000);
    ASSERT_EQ(24000u, out.size());
    EXPECT_GT(Rms(out, 2000, 20000), 0.1) << "the take is still there";
    EXPECT_NEAR(440.0, Frequency(out, 2000, 20000, kRate), 2.0);
}

TEST(TovaJack, KillingItDuringASaveLeavesThePreviousStateWhole)
{
    // A minute of tone imported and given to key 60: some 31 MB of XML, a while to write.
    const std::string wav =
        SignalInput("minute.wav", 60 * 48000, [](double i) { return Tone(440, kRate, i); });
    const std::string state = ScratchPath("big.plist");
    JackTestServer server;
    ASSERT_TRUE(server.Ok()) << server.Log();
    {
        TovaJack tova(server, {"--state", state, "--import", wav});
        ASSERT_TRUE(tova.WaitUntilPlaying()) << tova.Output() << tova.Errors();
        JackTestClient feeder(server.Name(), "feeder");
        ASSERT_TRUE(feeder.Connect("feeder:to_midi", "Tova:midi_in"));
        feeder.Send(0, {0x90, 60, 100});
        feeder.Send(0, {0x80, 60, 0});
        ASSERT_TRUE(tova.WaitFor("mem 57.6%")) << tova.Output(); // 2880000 of 5000000 frames
        tova.Signal(SIGUSR1);
        ASSERT_TRUE(tova.WaitFor("saved '" + state + "'", 30)) << tova.Errors();
        tova.Type("quit");
        ASSERT_EQ(0, tova.Wait(30));
    }
    ASSERT_GT(std::filesystem::file_size(state), 30000000u);

    // The temporary files of saves that did not finish.
    const auto temporaries = []
    {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(ScratchPath("")))
            if (entry.path().filename().string().starts_with(".big.plist.tmp-"))
                found.push_back(entry.path());
        return found;
    };
    // Killed while it writes the temporary file, and killed early, while it still gathers
    // the state: the file is the previous state or a whole new one, never a part of one.
    for (const bool whileWriting : {true, true, true, false})
    {
        SCOPED_TRACE(whileWriting ? "while writing" : "before writing");
        const std::string previous = Slurp(state);
        TovaJack tova(server, {"--state", state});
        ASSERT_TRUE(tova.WaitUntilPlaying(30)) << tova.Output() << tova.Errors() << server.Log();
        ASSERT_TRUE(tova.WaitFor("restored '" + state + "'"));
        tova.Signal(SIGUSR1);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (whileWriting && temporaries().empty() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        ASSERT_TRUE(!whileWriting || !temporaries().empty()) << "the save never began to write";
        tova.Kill();

        const std::string now = Slurp(state);
        CFType read;
        std::string error;
        EXPECT_TRUE(PropertyListFile::Read(state, read, error)) << error;
        EXPECT_TRUE(now == previous || now.size() > 30000000u);
        for (const auto& path : temporaries())
            std::filesystem::remove(path);
    }
}

TEST(TovaJack, ARefusedStateIsKeptAsideAndSigtermAndSigintSaveOnTheWayOut)
{
    const std::string state = ScratchPath("signals.plist");
    const std::string damaged = "<?xml version=\"1.0\"?><plist><dict><key>x";
    WriteFile(state, Bytes(damaged.begin(), damaged.end()));
    JackTestServer server;
    ASSERT_TRUE(server.Ok()) << server.Log();
    for (int signal : {SIGTERM, SIGINT})
    {
        SCOPED_TRACE(signal);
        TovaJack tova(server, {"--state", state});
        ASSERT_TRUE(tova.WaitUntilPlaying()) << tova.Output() << tova.Errors();
        if (signal == SIGTERM) // the damaged file: refused, and the program plays on empty
            EXPECT_NE(std::string::npos, tova.Errors().find("; starting with an empty instrument"));
        else
            EXPECT_TRUE(tova.WaitFor("restored '" + state + "'"));
        tova.Signal(signal);
        EXPECT_EQ(0, tova.Wait(10));
        EXPECT_TRUE(tova.WaitFor("saved '" + state + "'", 1)) << tova.Errors();
    }
    EXPECT_EQ(damaged, Slurp(state + ".refused"));
}
