#pragma once
// The tova-jack program for a given component: reads the command line, joins the JACK server,
// opens the component like any host, restores the --state file, imports the --import files,
// starts processing, and then serves the terminal and the signals until it is told to stop,
// when it saves the state and leaves.
//
// Threads: everything here runs on the main thread, which is the unit's user-interface
// thread; JACK's notification thread reconfigures the host; JACK's process thread renders.
// The unit lock serialises the first two; the render thread never takes it.
//
// Exit status: 0 after quit, SIGINT or SIGTERM with the state saved; 1 when there is no
// server, the server goes away, the unit cannot be opened or the final save fails; 2 for a
// malformed command line.

#include "hosts/common/UnitParameters.h"
#include "hosts/jack/ConsoleCommand.h"
#include "hosts/jack/JackClient.h"
#include "hosts/jack/JackCommandLine.h"
#include "hosts/jack/SignalWatch.h"
#include "hosts/jack/StateKeeper.h"
#include "hosts/jack/Terminal.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class JackProgram
{
public:
    // The name of the unit's virtual MIDI source, which JACK's ALSA MIDI bridge shows as a
    // physical MIDI port: --connect leaves it alone, or the feedback notes would come back in.
    static constexpr const char* kFeedbackSource = "Tovarine";

    explicit JackProgram(const AudioComponentRegistration& component);
    ~JackProgram();
    JackProgram(const JackProgram&) = delete;
    JackProgram& operator=(const JackProgram&) = delete;

    // Returns the exit status.
    int Run(int argc, const char* const* argv);

private:
    bool Fail(const std::string& message);
    bool Open();
    bool OpenUnit();
    void RestoreAndImport();
    bool Start();
    void Serve();
    void Finish();

    void ReadTerminal();
    void Execute(const ConsoleCommand& command);
    void Save();
    void Erase();
    void Learn(const std::string& name);
    void Set(const std::string& name, const std::string& value);
    void Import(const std::string& path, bool withTempo);
    void ShowStatus();

    const AudioComponentRegistration& mComponent;
    JackCommandLine mOptions;
    int mStatus = 0;
    bool mQuit = false;
    bool mTerminalOpen = true;
    std::string mTyped; // what was typed after the last complete line

    SignalWatch mSignals;
    Terminal mTerminal;
    std::mutex mUnitAccess;
    std::unique_ptr<JackClient> mClient;
    AudioUnit mUnit = nullptr;
    JackClient::Unit mUnitInfo;
    UnitParameters mParameters;
    std::unique_ptr<LiveHost> mHost;
    std::optional<StateKeeper> mState;
    std::chrono::steady_clock::time_point mLastStatus;
};
